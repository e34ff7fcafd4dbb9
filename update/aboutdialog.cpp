#include "aboutdialog.h"
#include "ui_aboutdialog.h"

#include "installersignature.h"

#include <QGuiApplication>
#include <QProcess>
#include <QThread>

#include <cstdlib>

AboutDialog::AboutDialog(const QString &settingsDir, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::AboutDialog)
    , m_settingsDir(settingsDir)
    , m_publicKey(builtInUpdateKey())
{
    ui->setupUi(this);
    ui->label_version->setText(tr("版本：%1").arg(QCoreApplication::applicationVersion()));
    ui->label_appname->setText(QGuiApplication::applicationDisplayName());
    setFixedSize(size());
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint
                   | Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
    ui->label->hide();
    ui->label_right->hide();
    // Nothing to show before a download starts, nothing to cancel before a check.
    ui->progressBar->hide();
    ui->pushButton_cancel->hide();

    m_hooks.inform =
            [](QWidget *owner, QMessageBox::Icon icon, const QString &title, const QString &text) {
                QMessageBox(icon, title, text, QMessageBox::Ok, owner).exec();
            };
    m_hooks.startDetached = [](const QString &program) {
        return QProcess::startDetached(program, {});
    };
    // Leaves without returning to the event loop; static objects are still destroyed.
    m_hooks.exitApplication = [](int status) {
        std::exit(status);
    };
}

AboutDialog::~AboutDialog()
{
    stopRun();
    delete ui;
}

void AboutDialog::setHooks(Hooks hooks)
{
    if (hooks.inform)
        m_hooks.inform = std::move(hooks.inform);
    if (hooks.startDetached)
        m_hooks.startDetached = std::move(hooks.startDetached);
    if (hooks.exitApplication)
        m_hooks.exitApplication = std::move(hooks.exitApplication);
}

void AboutDialog::setUpdatePublicKey(const QByteArray &publicKey)
{
    m_publicKey = publicKey;
}

void AboutDialog::done(int result)
{
    // Closing the dialog gives up the update.
    stopRun();
    QDialog::done(result);
}

void AboutDialog::informFailure(const QStringList &details)
{
    QStringList lines{tr("更新失败")};
    for (const QString &detail : details)
        if (!detail.isEmpty())
            lines << detail;
    m_hooks.inform(this, QMessageBox::Warning, tr(""), lines.join(QLatin1Char('\n')));
}

void AboutDialog::on_pushButton_clicked()
{
    if (m_run)
        return;
    ui->pushButton->setEnabled(false);
    ui->pushButton_cancel->setEnabled(true);
    ui->pushButton_cancel->show();

    m_run = new UpdateRun({m_settingsDir, QCoreApplication::applicationVersion(), m_publicKey});
    UpdateRun *run = m_run;
    m_thread = QThread::create([run] { run->run(); });
    // Emitted on the worker thread, so these arrive queued, on this one.
    connect(run, &UpdateRun::downloadStarted, ui->progressBar, &QWidget::show);
    connect(run, &UpdateRun::progress, ui->progressBar, &QProgressBar::setValue);
    connect(run, &UpdateRun::finished, this, &AboutDialog::finishRun);
    m_thread->start();
}

void AboutDialog::on_pushButton_cancel_clicked()
{
    ui->pushButton_cancel->setEnabled(false);
    if (m_run)
        m_run->cancel();
}

// Cancels a run under way and waits for its thread, which the cancel ends within about a second.
void AboutDialog::stopRun()
{
    if (!m_run)
        return;
    m_run->cancel();
    m_thread->wait();
    delete m_thread;
    delete m_run;
    m_thread = nullptr;
    m_run = nullptr;
    ui->pushButton_cancel->hide();
    ui->pushButton->setEnabled(true);
}

void AboutDialog::finishRun(UpdateRun::Result result, const QString &reason)
{
    // A run stopped by closing the dialog reports late; its result no longer counts.
    if (!m_run)
        return;
    // The run has reported its end; its thread ends right after.
    stopRun();
    switch (result) {
    case UpdateRun::Result::Cancelled:
        return;
    case UpdateRun::Result::Latest:
        m_hooks.inform(this, QMessageBox::Information, tr(""), tr("已经是最新版本"));
        return;
    case UpdateRun::Result::Failed:
        informFailure({reason});
        return;
    case UpdateRun::Result::SignatureFailed:
        informFailure({tr("安装程序的签名未通过验证"), reason});
        return;
    case UpdateRun::Result::Downloaded:
        if (!m_hooks.startDetached(UpdateRun::installerPath(m_settingsDir))) {
            informFailure({tr("无法启动安装程序")});
            return;
        }
        m_hooks.exitApplication(0);
        return;
    }
}
