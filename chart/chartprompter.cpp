#include "chartprompter.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QPushButton>
#include <QRegularExpression>

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
    return chooseSaveFile(parent, QString(), filter);
}

QString ChartPrompter::saveFileName(QWidget *parent)
{
    return chooseSaveFile(parent, recordSaveTitle(), recordSaveFilter());
}

QString recordSaveTitle()
{
    return QCoreApplication::translate("ChartPrompter", "保存记录");
}

QString recordSaveFilter()
{
    return QCoreApplication::translate("ChartPrompter", "记录文件 (*.txt)") + QStringLiteral(";;")
           + QCoreApplication::translate("ChartPrompter", "CSV 文件 (*.csv)");
}

QString filterSuffix(const QString &filter)
{
    static const QRegularExpression pattern(QStringLiteral("^[^;]*?\\*\\.(\\w+)"));
    return pattern.match(filter).captured(1);
}

QString chooseSaveFile(QWidget *parent, const QString &title, const QString &filter)
{
    QFileDialog dialog(parent, title, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The dialog's own overwrite question then names the file really written.
    dialog.setDefaultSuffix(filterSuffix(filter));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString &f) {
        dialog.setDefaultSuffix(filterSuffix(f));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

QString withFilterSuffix(const QString &path, const QString &filter)
{
    const QString suffix = filterSuffix(filter);
    if (path.isEmpty() || suffix.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    return path + QLatin1Char('.') + suffix;
}

bool isCsvPath(const QString &path)
{
    return QFileInfo(path).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0;
}
