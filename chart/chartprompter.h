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
    // Path to save the record to (recordSaveFilter()); empty when the user cancelled.
    virtual QString saveFileName(QWidget *parent);
    // Path to export to, offering the files that `filter` names.
    virtual QString exportFileName(QWidget *parent, const QString &filter);
};

// The record save dialog's title and filter: record files first, CSV as the other choice.
QString recordSaveTitle();
QString recordSaveFilter();
// The suffix a name typed without one gets: the first "*.ext" of the first filter in
// `filter` ("Pictures (*.png *.pdf);;..." gives "png"); empty when it names none.
QString filterSuffix(const QString &filter);
// The save-file dialog of an export. A name typed without a suffix gets the one of the filter
// chosen, so the file is what its name says. Empty when cancelled.
QString chooseSaveFile(QWidget *parent, const QString &title, const QString &filter);
// `path` with filterSuffix(filter) appended when its file name has no suffix; empty stays empty.
QString withFilterSuffix(const QString &path, const QString &filter);
// Whether a record saved at `path` is written as CSV rather than as a record file.
bool isCsvPath(const QString &path);

#endif // TEVRANO_CHARTPROMPTER_H
