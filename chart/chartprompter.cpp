#include "chartprompter.h"

#include <QFileDialog>
#include <QFileInfo>
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
    return chooseSaveFile(parent, QStringLiteral("File"), QStringLiteral("Files (*.txt)"));
}

QString chooseSaveFile(QWidget *parent, const QString &title, const QString &filter)
{
    QFileDialog dialog(parent, title, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The dialog's own overwrite question then names the file really written.
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

QString withRecordSuffix(const QString &path)
{
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    return path + QStringLiteral(".txt");
}
