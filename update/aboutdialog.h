#ifndef TEVRANO_ABOUTDIALOG_H
#define TEVRANO_ABOUTDIALOG_H

#include <QDialog>
#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <functional>

#include "updaterun.h"

class QThread;

namespace Ui {
class AboutDialog;
}

// Shows the program's name and version and updates it in place from the cloud bucket.
// The installer is saved in the settings directory given at construction. The check and
// the download run on a worker thread; the dialog stays responsive and can cancel them.
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    // The effects that end the flow; replaceable so the flow can run without modal
    // boxes and without the process ending.
    struct Hooks
    {
        std::function<void(
                QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text)>
                inform;
        std::function<bool(const QString &program)> startDetached;
        std::function<void(int status)> exitApplication;
    };

    explicit AboutDialog(const QString &settingsDir, QWidget *parent = nullptr);
    ~AboutDialog() override;

    // Members left empty keep their current behaviour.
    void setHooks(Hooks hooks);
    // The key installers must be signed with; empty: the build's key, if any, is not used.
    void setUpdatePublicKey(const QByteArray &publicKey);

    void done(int result) override;

private slots:
    void on_pushButton_clicked();
    void on_pushButton_cancel_clicked();

private:
    void finishRun(UpdateRun::Result result, const QString &reason);
    void stopRun();
    // "更新失败", then each non-empty line of why.
    void informFailure(const QStringList &details);

    Ui::AboutDialog *ui;
    QString m_settingsDir;
    QByteArray m_publicKey;
    Hooks m_hooks;
    UpdateRun *m_run = nullptr;
    QThread *m_thread = nullptr;
};

#endif // TEVRANO_ABOUTDIALOG_H
