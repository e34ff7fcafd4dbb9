#include "messages.h"

namespace Messages {
namespace {
Presenter &presenter()
{
    static Presenter current;
    return current;
}
} // namespace

void show(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text)
{
    if (presenter()) {
        presenter()(parent, icon, title, text);
        return;
    }
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.exec();
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

} // namespace Messages
