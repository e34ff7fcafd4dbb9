#pragma once

#include <QDialog>
#include <QMessageBox>
#include <QVector>

#include <functional>

// Every message box of the program goes through here, so a test can take the message instead
// of a modal box that would wait for a click.
namespace Messages {

using Presenter = std::function<void(
        QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text)>;

// `button` replaces the standard Ok button's caption when given.
void show(QWidget *parent,
          QMessageBox::Icon icon,
          const QString &title,
          const QString &text,
          const QString &button = QString());
inline void information(QWidget *parent, const QString &title, const QString &text)
{
    show(parent, QMessageBox::Information, title, text);
}
inline void critical(QWidget *parent, const QString &title, const QString &text)
{
    show(parent, QMessageBox::Critical, title, text);
}

// Replaces the modal box; an empty presenter restores it.
void setPresenter(Presenter presenter);

// Asks for an existing file to open, or a file to save; empty when cancelled. A test can answer
// in its place.
enum class FileAccess { Open, Save };
using FileChooser
        = std::function<QString(FileAccess access, const QString &title, const QString &filter)>;
QString openFileName(const QString &title, const QString &filter);
// Several existing files at once; a test's chooser answers one.
QStringList openFileNames(const QString &title, const QString &filter);
QString saveFileName(QWidget *parent, const QString &title, const QString &filter);
void setFileChooser(FileChooser chooser);

// Runs a modal dialog and returns its result; a test can answer in its place.
using DialogRunner = std::function<int(QDialog &dialog)>;
int exec(QDialog &dialog);
void setDialogRunner(DialogRunner runner);

// A question box with one button per choice, captioned as given; returns the choice taken.
// Closing the box counts as the last choice. A test can answer in its place.
struct Choice
{
    QMessageBox::StandardButton button;
    QString caption;
};
using Asker = std::function<QMessageBox::StandardButton(QWidget *parent,
                                                        const QString &title,
                                                        const QString &text,
                                                        const QVector<Choice> &choices)>;
QMessageBox::StandardButton
ask(QWidget *parent, const QString &title, const QString &text, const QVector<Choice> &choices);
void setAsker(Asker asker);

} // namespace Messages
