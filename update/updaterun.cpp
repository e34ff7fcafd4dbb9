#include "updaterun.h"

#include "installersignature.h"
#include "nubora.h"

#include <QDir>
#include <QTemporaryFile>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

const char kInstallerFileName[] = "ZARKUpdate.exe";
// Partial downloads are named after the installer; a run that was killed leaves one behind.
const char kPartialSuffix[] = ".part";

// No publisher means a version this long; anything at or past it is not one.
constexpr int kVersionTextLimit = 255;
// Room for a Base64 signature with a line end and then some.
constexpr std::int64_t kSignatureObjectLimit = 1024;
constexpr std::int64_t kInstallerLimit = std::int64_t(1) << 30;

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
    const int order
            = left.size() != right.size() ? right.size() - left.size() : right.compare(left);
    return (order > 0) - (order < 0);
}

// The failure's own words, one line of them, after the HTTP status and the store's code
// when the store answered.
QString describe(const Nubora::Failure &failure)
{
    constexpr int kShownLength = 200;
    // An unexpected document can come back whole in the message.
    QString detail = QString::fromStdString(failure.message).section(QLatin1Char('\n'), 0, 0);
    if (detail.size() > kShownLength)
        detail = detail.left(kShownLength) + QStringLiteral("…");
    if (failure.httpStatus == 0)
        return detail.isEmpty() ? QString::fromStdString(failure.code) : detail;
    const QString status = UpdateRun::tr("HTTP 状态 %1").arg(failure.httpStatus);
    if (detail.isEmpty())
        return status;
    return status + QStringLiteral(", ") + QString::fromStdString(failure.code)
           + QStringLiteral(": ") + detail;
}

void removeLeftoverPartials(const QString &settingsDir)
{
    QDir directory(settingsDir);
    const QString pattern = QLatin1String(kInstallerFileName) + QStringLiteral(".*")
                            + QLatin1String(kPartialSuffix);
    for (const QString &name :
         directory.entryList({pattern}, QDir::Files | QDir::Hidden | QDir::System))
        directory.remove(name);
}

// The library hands over texts as mutable char pointers and keeps them, not copies.
struct ObjectKeys
{
    char bucket[7] = "ambrel";
    char version[36] = "Morvane/ZARK/Custom/Tevrano/version";
    char installer[51] = "Morvane/ZARK/Custom/Tevrano/DUNE_release_win32.exe";
    char signature[55] = "Morvane/ZARK/Custom/Tevrano/DUNE_release_win32.exe.sig";
};

} // namespace

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
    return !version.isEmpty() && content.size() < kVersionTextLimit
           && std::all_of(version.begin(), version.end(), [](char c) {
                  return c == '.' || (c >= '0' && c <= '9');
              });
}

int progressPercent(std::int64_t bytesSoFar, std::int64_t bytesTotal)
{
    // Without a content length there is no fraction to show.
    if (bytesTotal <= 0)
        return -1;
    return int(std::clamp(double(bytesSoFar) / double(bytesTotal) * 100.0, 0.0, 100.0));
}

UpdateRun::UpdateRun(Config config)
    : m_config(std::move(config))
{
    // finished() crosses threads.
    qRegisterMetaType<UpdateRun::Result>();
}

QString UpdateRun::installerPath(const QString &settingsDir)
{
    return settingsDir + QLatin1Char('/') + QLatin1String(kInstallerFileName);
}

void UpdateRun::run()
{
    ObjectKeys keys;
    Nubora nubora;
    nubora.setProcessCallback(&UpdateRun::reportProgress, this);
    nubora.setBucketName(keys.bucket);
    nubora.setVersionPath(keys.version);
    nubora.setAppPath(keys.installer);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_nubora = &nubora;
        if (m_cancelled)
            nubora.cancel();
    }
    // Whatever a killed run left is removed first, whether or not this one downloads.
    removeLeftoverPartials(m_config.settingsDir);
    Result result = check(nubora);
    if (result == Result::Downloaded)
        result = downloadInstaller(nubora);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_nubora = nullptr;
    }
    if (isCancelled())
        emit finished(Result::Cancelled, QString());
    else
        emit finished(result, m_reason);
}

void UpdateRun::cancel()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cancelled = true;
    if (m_nubora)
        m_nubora->cancel();
}

bool UpdateRun::isCancelled()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_cancelled;
}

UpdateRun::Result UpdateRun::fail(Result result, const QString &reason)
{
    m_reason = reason;
    return result;
}

// Downloaded here means an update is due.
UpdateRun::Result UpdateRun::check(Nubora &nubora)
{
    ObjectKeys keys;
    char content[kVersionTextLimit];
    const std::int64_t length = nubora.download2Buffer(keys.version, content, sizeof content);
    if (length < 0)
        return fail(Result::Failed,
                    tr("无法读取发布的版本：%1").arg(describe(nubora.lastFailure())));
    // The whole object counts, bytes after a NUL included: a garbled one never starts a download.
    const QByteArray object(content, int(length));
    if (object.trimmed().isEmpty())
        return fail(Result::Failed, tr("发布的版本为空"));
    if (!isVersionText(object))
        return fail(Result::Failed, tr("发布的版本不是版本号"));
    const QString published = QString::fromLatin1(content, int(length)).trimmed();
    return compareVersions(m_config.runningVersion, published) > 0 ? Result::Downloaded
                                                                   : Result::Latest;
}

// Downloads beside the target under a temporary name and renames only a complete file whose
// integrity is established, so a failed or doubtful download never leaves an installer where
// a later start could run it, and an earlier installer stays as it was.
UpdateRun::Result UpdateRun::downloadInstaller(Nubora &nubora)
{
    ObjectKeys keys;
    const bool signatureRequired = !m_config.publicKey.isEmpty();
    QByteArray signature;
    if (signatureRequired) {
        signature.resize(int(kSignatureObjectLimit));
        const std::int64_t length
                = nubora.download2Buffer(keys.signature, signature.data(), kSignatureObjectLimit);
        if (length < 0)
            return fail(Result::SignatureFailed,
                        tr("无法下载签名：%1").arg(describe(nubora.lastFailure())));
        signature.truncate(int(length));
    }

    const QString target = installerPath(m_config.settingsDir);
    QTemporaryFile partial(target + QStringLiteral(".XXXXXX") + QLatin1String(kPartialSuffix));
    if (!partial.open())
        return fail(Result::Failed, tr("无法创建临时文件：%1").arg(partial.errorString()));
    partial.close();
    emit downloadStarted();

    Nubora::FileRules rules;
    rules.maxBytes = kInstallerLimit;
    rules.contentRequired = true;
    // Without a key, the store's checksum is all that tells a whole installer from a cut one.
    rules.checksumRequired = !signatureRequired;
    QByteArray partialPath = partial.fileName().toUtf8();
    if (nubora.downloadFile(keys.installer, partialPath.data(), rules) != 0)
        return fail(Result::Failed, tr("无法下载安装程序：%1").arg(describe(nubora.lastFailure())));
    if (signatureRequired
        && !verifyFileSignature(m_config.publicKey, signature, partial.fileName()))
        return Result::SignatureFailed;
    if (!partial.setPermissions(partial.permissions() | QFileDevice::ExeOwner))
        return fail(Result::Failed, tr("无法设置安装程序的权限：%1").arg(partial.errorString()));
    // Unlike QFile::rename, this replaces an existing installer in one step.
    std::error_code error;
    std::filesystem::rename(partial.fileName().toStdU16String(), target.toStdU16String(), error);
    if (error)
        return fail(
                Result::Failed,
                tr("无法放置安装程序：%1").arg(QString::fromLocal8Bit(error.message().c_str())));
    partial.setAutoRemove(false);
    return Result::Downloaded;
}

void UpdateRun::reportProgress(std::uint32_t,
                               std::int64_t bytesSoFar,
                               std::int64_t bytesTotal,
                               void *userData)
{
    auto *run = static_cast<UpdateRun *>(userData);
    // One signal per whole percent, not per block: the window's queue stays short.
    const int percent = progressPercent(bytesSoFar, bytesTotal);
    if (percent < 0 || percent == run->m_lastPercent)
        return;
    run->m_lastPercent = percent;
    emit run->progress(percent);
}
