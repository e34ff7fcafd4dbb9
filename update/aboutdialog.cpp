#include "aboutdialog.h"
#include "ui_aboutdialog.h"

#include "nubora.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryFile>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

const char kInstallerFileName[] = "ZARKUpdate.exe";

// The library's text buffer holds 255 bytes and a terminator; content that fills it
// may have been cut off.
constexpr int kVersionBufferText = 255;

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// A part that is not a number counts as 0. Numbers are kept as digit strings without
// leading zeros so that no length of number can overflow.
QStringView significantDigits(QStringView part)
{
    if (part.isEmpty() || !std::all_of(part.begin(), part.end(), isDigit))
        return {};
    int first = 0;
    while (first < part.size() && part.at(first) == QLatin1Char('0'))
        ++first;
    return part.mid(first);
}

int compareNumbers(QStringView running, QStringView published)
{
    const QStringView left = significantDigits(running);
    const QStringView right = significantDigits(published);
    const int order = left.size() != right.size() ? right.size() - left.size() : right.compare(left);
    return (order > 0) - (order < 0);
}

// Downloads beside the target under a temporary name and renames only a complete file,
// so a failed download never leaves a partial installer where a later start could run
// it, and an earlier installer stays as it was.
bool downloadInstaller(Nubora &nubora, char *objectKey, const QString &target)
{
    QTemporaryFile partial(target + QStringLiteral(".XXXXXX"));
    if (!partial.open())
        return false;
    partial.close();
    QByteArray partialPath = partial.fileName().toUtf8();
    if (nubora.downloadFile(objectKey, partialPath.data()) != 0)
        return false;
    if (!partial.setPermissions(partial.permissions() | QFileDevice::ExeOwner))
        return false;
    // Unlike QFile::rename, this replaces an existing installer in one step.
    std::error_code error;
    std::filesystem::rename(partial.fileName().toStdU16String(), target.toStdU16String(), error);
    if (error)
        return false;
    partial.setAutoRemove(false);
    return true;
}

}

int compareVersions(const QString &running, const QString &published)
{
    const QStringList runningParts = running.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    const QStringList publishedParts = published.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    if (publishedParts.size() != runningParts.size())
        return publishedParts.size() < runningParts.size() ? -1 : 1;
    for (int i = 0; i < runningParts.size(); ++i) {
        if (const int order = compareNumbers(runningParts.at(i), publishedParts.at(i)))
            return order;
    }
    return 0;
}

bool isVersionText(const QByteArray &content)
{
    // A line end or blanks from the publishing tool are not part of the version.
    const QByteArray version = content.trimmed();
    return content.size() < kVersionBufferText
           && std::all_of(version.begin(), version.end(), [](char c) { return c == '.' || (c >= '0' && c <= '9'); });
}

AboutDialog::AboutDialog(const QString &settingsDir, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::AboutDialog)
    , m_settingsDir(settingsDir)
{
    ui->setupUi(this);
    ui->label_version->setText(QStringLiteral("Version:") + QCoreApplication::applicationVersion());
    ui->label_appname->setText(QGuiApplication::applicationDisplayName());
    setFixedSize(size());
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint
                   | Qt::WindowCloseButtonHint);
    ui->label->hide();
    ui->label_right->hide();

    m_hooks.inform = [](QWidget *owner, const QString &title, const QString &text) {
        QMessageBox::information(owner, title, text);
    };
    m_hooks.startDetached = [](const QString &program) { return QProcess::startDetached(program, {}); };
    // Leaves without returning to the event loop; static objects are still destroyed.
    m_hooks.exitApplication = [](int status) { std::exit(status); };
}

AboutDialog::~AboutDialog()
{
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

void AboutDialog::updateProgress(std::uint32_t, std::int64_t bytesSoFar, std::int64_t bytesTotal, void *userData)
{
    // Without a content length there is no fraction to show.
    if (bytesTotal <= 0)
        return;
    const double percent = std::clamp(double(bytesSoFar) / double(bytesTotal) * 100.0, 0.0, 100.0);
    static_cast<AboutDialog *>(userData)->ui->progressBar->setValue(int(percent));
}

void AboutDialog::informFailure()
{
    m_hooks.inform(this, tr(""), tr("更新失败"));
}

void AboutDialog::on_pushButton_clicked()
{
    // The library keeps pointers to these texts instead of copying them.
    char bucketName[] = "ambrel";
    char versionKey[] = "Morvane/ZARK/Custom/Tevrano/version";
    char installerKey[] = "Morvane/ZARK/Custom/Tevrano/DUNE_release_win32.exe";

    Nubora nubora;
    nubora.setProcessCallback(&AboutDialog::updateProgress, this);
    nubora.setBucketName(bucketName);
    nubora.setVersionPath(versionKey);
    nubora.setAppPath(installerKey);

    const char *content = nubora.download2Mem(versionKey);
    // A garbled version object must never start a download.
    if (!content || !isVersionText(content)) {
        informFailure();
        return;
    }
    if (compareVersions(QCoreApplication::applicationVersion(), QString::fromLatin1(content).trimmed()) <= 0) {
        m_hooks.inform(this, tr(""), tr("已经是最新版本"));
        return;
    }

    const QString installerPath = m_settingsDir + QLatin1Char('/') + QLatin1String(kInstallerFileName);
    ui->progressBar->setVisible(true);
    if (!downloadInstaller(nubora, installerKey, installerPath) || !m_hooks.startDetached(installerPath)) {
        informFailure();
        return;
    }
    m_hooks.exitApplication(0);
}
