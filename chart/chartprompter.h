#ifndef TEVRANO_CHARTPROMPTER_H
#define TEVRANO_CHARTPROMPTER_H

#include <QMessageBox>
#include <QString>

class QWidget;

// Every box and file question the chart puts to the user goes through here, so
// a test (or a caller without a user) can answer instead of a modal dialog.
class ChartPrompter
{
public:
    virtual ~ChartPrompter() = default;
    // A message box with one button: `button` as its caption, or a standard
    // Ok button when `button` is empty.
    virtual void message(QMessageBox::Icon icon,
                         QWidget *parent,
                         const QString &title,
                         const QString &text,
                         const QString &button = QString());
    // Path to export to; empty when the user cancelled.
    virtual QString saveFileName(QWidget *parent);
    // Path to export to, offering the files that `filter` names.
    virtual QString exportFileName(QWidget *parent, const QString &filter);
};

// The save-file dialog of an export: a name typed without a suffix gets ".txt",
// so the open dialog's record filter shows the file. Empty when cancelled.
QString chooseSaveFile(QWidget *parent, const QString &title, const QString &filter);
// `path` with ".txt" appended when its file name has no suffix; empty stays empty.
QString withRecordSuffix(const QString &path);

#endif // TEVRANO_CHARTPROMPTER_H
