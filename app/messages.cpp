#include "messages.h"

#include "chartprompter.h"

#include <QFileDialog>
#include <QPushButton>

namespace Messages {
namespace {
// One replaceable hook of each kind for the whole process; empty means the real dialog.
template<typename Hook>
Hook &hook()
{
    static Hook current;
    return current;
}
Presenter &presenter()
{
    return hook<Presenter>();
}
DialogRunner &dialogRunner()
{
    return hook<DialogRunner>();
}
FileChooser &fileChooser()
{
    return hook<FileChooser>();
}
Asker &asker()
{
    return hook<Asker>();
}
} // namespace

void show(QWidget *parent,
          QMessageBox::Icon icon,
          const QString &title,
          const QString &text,
          const QString &button)
{
    if (presenter()) {
        presenter()(parent, icon, title, text);
        return;
    }
    ChartPrompter().message(icon, parent, title, text, button);
}

void setPresenter(Presenter replacement)
{
    presenter() = std::move(replacement);
}

int exec(QDialog &dialog)
{
    return dialogRunner() ? dialogRunner()(dialog) : dialog.exec();
}

void setDialogRunner(DialogRunner runner)
{
    dialogRunner() = std::move(runner);
}

namespace {

QStringList chooseExisting(const QString &title, const QString &filter, QFileDialog::FileMode mode)
{
    if (fileChooser()) {
        const QString chosen = fileChooser()(FileAccess::Open, title, filter);
        return chosen.isEmpty() ? QStringList() : QStringList{chosen};
    }
    QFileDialog dialog(nullptr, title, QStringLiteral("."), filter);
    dialog.setFileMode(mode);
    dialog.setViewMode(QFileDialog::Detail);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
}

} // namespace

QString openFileName(const QString &title, const QString &filter)
{
    return chooseExisting(title, filter, QFileDialog::ExistingFile).value(0);
}

QStringList openFileNames(const QString &title, const QString &filter)
{
    return chooseExisting(title, filter, QFileDialog::ExistingFiles);
}

QString saveFileName(QWidget *parent, const QString &title, const QString &filter)
{
    if (fileChooser())
        return fileChooser()(FileAccess::Save, title, filter);
    return chooseSaveFile(parent, title, filter);
}

void setFileChooser(FileChooser chooser)
{
    fileChooser() = std::move(chooser);
}

QMessageBox::StandardButton
ask(QWidget *parent, const QString &title, const QString &text, const QVector<Choice> &choices)
{
    Q_ASSERT(!choices.isEmpty());
    if (asker())
        return asker()(parent, title, text, choices);
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
    for (const Choice &choice : choices)
        box.addButton(choice.button)->setText(choice.caption);
    box.setDefaultButton(choices.constFirst().button);
    box.setEscapeButton(choices.constLast().button);
    box.exec();
    const QMessageBox::StandardButton taken = box.standardButton(box.clickedButton());
    return taken == QMessageBox::NoButton ? choices.constLast().button : taken;
}

void setAsker(Asker replacement)
{
    asker() = std::move(replacement);
}

} // namespace Messages
