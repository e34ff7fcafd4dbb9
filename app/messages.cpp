#include "messages.h"

#include "chartprompter.h"

#include <QFileDialog>

namespace Messages {
namespace {
Presenter &presenter()
{
    static Presenter current;
    return current;
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

namespace {
DialogRunner &dialogRunner()
{
    static DialogRunner current;
    return current;
}
} // namespace

int exec(QDialog &dialog)
{
    return dialogRunner() ? dialogRunner()(dialog) : dialog.exec();
}

void setDialogRunner(DialogRunner runner)
{
    dialogRunner() = std::move(runner);
}

namespace {
FileChooser &fileChooser()
{
    static FileChooser current;
    return current;
}
} // namespace

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
