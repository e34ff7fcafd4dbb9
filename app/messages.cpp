#include "messages.h"

#include "chartprompter.h"

#include <QFileDialog>

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
} // namespace

void show(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
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

QString openFileName(const QString &title, const QString &filter)
{
    if (fileChooser())
        return fileChooser()(FileAccess::Open, title, filter);
    QFileDialog dialog(nullptr, title, QStringLiteral("."), filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setViewMode(QFileDialog::Detail);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

QString saveFileName(QWidget *parent, const QString &title, const QString &filter)
{
    if (fileChooser())
        return fileChooser()(FileAccess::Save, title, filter);
    return QFileDialog::getSaveFileName(parent, title, QString(), filter);
}

void setFileChooser(FileChooser chooser)
{
    fileChooser() = std::move(chooser);
}

} // namespace Messages
