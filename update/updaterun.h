#ifndef TEVRANO_UPDATERUN_H
#define TEVRANO_UPDATERUN_H

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>
#include <mutex>

class Nubora;

// -1 when the published version is older (or has fewer parts), 0 when equal, 1 when
// an update is due. The part count decides before any number is looked at.
int compareVersions(const QString &running, const QString &published);

// Whether the whole version object can be a version: digits and dots, white space around
// them, and far shorter than any text a publisher could mean. Blank is no version.
bool isVersionText(const QByteArray &content);

// Whole percent of a download, or -1 while the total is unknown.
int progressPercent(std::int64_t bytesSoFar, std::int64_t bytesTotal);

// One version check and, when due, the installer's download and check, made to run on a
// worker thread: it touches no widget and reports through signals only. run() is called
// once; cancel() may come from any thread at any time.
class UpdateRun : public QObject
{
    Q_OBJECT

public:
    enum class Result { Failed, SignatureFailed, Latest, Cancelled, Downloaded };
    Q_ENUM(Result)

    struct Config
    {
        QString settingsDir;
        QString runningVersion;
        // Raw Ed25519 key the installer's signature must verify under; empty: the store's
        // CRC-64 has to vouch for the installer instead.
        QByteArray publicKey;
    };

    explicit UpdateRun(Config config);

    static QString installerPath(const QString &settingsDir);

    void run();
    void cancel();

signals:
    void downloadStarted();
    void progress(int percent);
    // reason: why a run failed, in words for the user; empty otherwise.
    void finished(UpdateRun::Result result, const QString &reason);

private:
    Result check(Nubora &nubora);
    Result downloadInstaller(Nubora &nubora);
    Result fail(Result result, const QString &reason);
    bool isCancelled();
    static void reportProgress(std::uint32_t blockBytes,
                               std::int64_t bytesSoFar,
                               std::int64_t bytesTotal,
                               void *userData);

    const Config m_config;
    int m_lastPercent = -1; // worker thread only
    QString m_reason;       // worker thread only

    std::mutex m_mutex; // guards the two below
    Nubora *m_nubora = nullptr;
    bool m_cancelled = false;
};

#endif // TEVRANO_UPDATERUN_H
