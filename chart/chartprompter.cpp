#include "chartprompter.h"

#include <QFileDialog>
#include <QPushButton>

void ChartPrompter::message(QMessageBox::Icon icon,
                            QWidget *parent,
                            const QString &title,
                            const QString &text,
                            const QString &button)
{
    QMessageBox box(icon, title, text, QMessageBox::NoButton, parent);
    if (button.isEmpty())
        box.setStandardButtons(QMessageBox::Ok);
    else
        box.addButton(button, QMessageBox::AcceptRole);
    box.exec();
}

QString ChartPrompter::exportFileName(QWidget *parent, const QString &filter)
{
    return QFileDialog::getSaveFileName(parent, QString(), QString(), filter);
}

QString ChartPrompter::saveFileName(QWidget *parent)
{
    return QFileDialog::getSaveFileName(
            parent, QStringLiteral("File"), QString(), QStringLiteral("Files (*.txt)"));
}
