#include <QtTest>

#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>

#include "aboutdialog.h"
#include "fake_object_store.h"
#include "nubora.h"

using fakestore::Reply;

namespace {

const char kKeyId[] = "UpdateTestKeyId000000000";
const char kSecret[] = "UpdateTestSecret00000000000000";
const char kRunningVersion[] = "3.0.240726.01";
const char kVersionKey[] = "Morvane/ZARK/Custom/Tevrano/version";
const char kInstallerKey[] = "Morvane/ZARK/Custom/Tevrano/DUNE_release_win32.exe";
const char kSignatureKey[] = "Morvane/ZARK/Custom/Tevrano/DUNE_release_win32.exe.sig";
const char kHandOverFlag[] = "--hand-over";
const QString kLatest = QString::fromUtf8("已经是最新版本");
const QString kFailed = QString::fromUtf8("更新失败");
const QString kSignatureFailed = QString::fromUtf8("更新失败\n安装程序的签名未通过验证");
const QString kNoVersion = QString::fromUtf8("更新失败\n发布的版本不是版本号");
// Short enough that a hostile answer ends its four attempts well within a test's time.
constexpr std::int64_t kTimeLimitMs = 2000;
const QByteArray kEarlierInstaller = "earlier installer";

// Records its argument count beside itself, so the test sees that it ran and how.
const QByteArray kFakeInstaller = "#!/bin/sh\necho $# > \"$0.ran\"\n";

// What one run of the button's slot did instead of showing boxes or ending the process.
struct Outcome
{
    QStringList boxes;
    QList<QMessageBox::Icon> icons;
    QStringList started;
    QList<int> exits;
};

// The published version and installer as the store serves them; any other key is missing.
struct Bucket
{
    QByteArray version;
    QByteArray installer = kFakeInstaller;
    QByteArray signature; // served when not empty
    bool versionMissing = false;
    bool installerMissing = false;
    bool installerCut = false;
    bool sendLength = true;
    // Turns the installer's answer into a hostile one.
    std::function<void(Reply &)> spoil;
};

Reply missingKey()
{
    Reply reply;
    reply.status = 404;
    reply.body = fakestore::errorDocument(
            "NoSuchKey", "nothing is stored under this key", "UPDATE-TEST");
    return reply;
}

fakestore::Handler serve(const Bucket &bucket)
{
    return [bucket](const fakestore::ReceivedRequest &request, int) {
        Reply reply;
        if (request.bucket != "ambrel")
            return missingKey();
        if (request.key == kVersionKey && !bucket.versionMissing) {
            reply.body = bucket.version.toStdString();
            return reply;
        }
        if (request.key == kSignatureKey && !bucket.signature.isEmpty()) {
            reply.body = bucket.signature.toStdString();
            return reply;
        }
        if (request.key != kInstallerKey || bucket.installerMissing)
            return missingKey();
        reply.body = bucket.installer.toStdString();
        reply.sendContentLength = bucket.sendLength;
        if (bucket.installerCut)
            reply.closeAfterBytes = bucket.installer.size() / 2;
        if (bucket.spoil)
            bucket.spoil(reply);
        return reply;
    };
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

// Runs tools/sign-release, which publishers use; its output without the line end.
QByteArray signRelease(const QStringList &arguments)
{
    QProcess tool;
    tool.start(QStringLiteral(TEVRANO_SOURCE_DIR "/tools/sign-release"), arguments);
    if (!tool.waitForFinished(30000) || tool.exitStatus() != QProcess::NormalExit
        || tool.exitCode() != 0)
        return QByteArray();
    return tool.readAllStandardOutput().trimmed();
}

QStringList installerRequests(const fakestore::FakeObjectStore &store)
{
    QStringList keys;
    for (const auto &request : store.requests())
        if (request.key == kInstallerKey)
            keys << QString::fromStdString(request.key);
    return keys;
}

} // namespace

Q_DECLARE_METATYPE(std::function<void(Reply &)>)

class AboutDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void initialState();
    void progress_data();
    void progress();
    void publishedVersions_data();
    void publishedVersions();
    void failures_data();
    void failures();
    void signatures_data();
    void signatures();
    void stalledTransferLeavesTheWindowAliveAndCancels();
    void leftoverPartialDownloadsAreRemoved_data();
    void leftoverPartialDownloadsAreRemoved();
    void installerThatDoesNotStart();
    void handOverEndsTheProgram();

private:
    Outcome clickUpdate(AboutDialog &dialog, bool installerStarts = true);
    QString installerPath() const { return settingsDir + "/ZARKUpdate.exe"; }
    // The one box starts with `box`, the lines that say why follow.
    void expectNothingReplaced(const Outcome &outcome, const QString &box);

    std::unique_ptr<fakestore::FakeObjectStore> store;
    std::unique_ptr<QTemporaryDir> directory;
    QString settingsDir;
    QTemporaryDir keys;
    QByteArray publicKey;
};

void AboutDialogTest::initTestCase()
{
    qputenv("NUBORA_ACCESS_KEY_ID", kKeyId);
    qputenv("NUBORA_ACCESS_KEY_SECRET", kSecret);
    Nubora::setLimits({kTimeLimitMs, kTimeLimitMs, 1000});
    publicKey = QByteArray::fromBase64(signRelease({"keygen", keys.filePath("release.pem")}));
    QCOMPARE(publicKey.size(), 32);
    QVERIFY(signRelease({"keygen", keys.filePath("other.pem")}).size() == 44);
}

void AboutDialogTest::init()
{
    store = std::make_unique<fakestore::FakeObjectStore>(kKeyId, kSecret);
    qputenv("NUBORA_ENDPOINT", store->endpoint().c_str());
    directory = std::make_unique<QTemporaryDir>();
    QVERIFY(directory->isValid());
    // User names, and so settings directories, are often not ASCII.
    settingsDir = directory->filePath(QString::fromUtf8("用户设置"));
    QVERIFY(QDir().mkpath(settingsDir));
}

void AboutDialogTest::cleanup()
{
    for (const auto &request : store->requests())
        if (!request.problems.empty())
            QFAIL(("the store refused a request: " + request.problems.front()).c_str());
    store.reset();
    directory.reset();
}

Outcome AboutDialogTest::clickUpdate(AboutDialog &dialog, bool installerStarts)
{
    Outcome outcome;
    dialog.setHooks({[&outcome](QWidget *parent,
                                QMessageBox::Icon icon,
                                const QString &title,
                                const QString &text) {
                         // The boxes belong to the dialog and carry no title.
                         outcome.boxes
                                 << (parent && title.isEmpty() ? text
                                                               : QStringLiteral("<malformed box>"));
                         outcome.icons << icon;
                     },
                     [&outcome, installerStarts](const QString &program) {
                         outcome.started << program;
                         return installerStarts;
                     },
                     [&outcome](int status) {
                         outcome.exits << status;
                     }});
    dialog.findChild<QPushButton *>("pushButton")->click();
    // The run ends with the Cancel button going away again.
    auto *cancel = dialog.findChild<QPushButton *>("pushButton_cancel");
    if (!QTest::qWaitFor([cancel] { return cancel->isHidden(); }, 30000))
        outcome.boxes << QStringLiteral("<no end within 30 s>");
    return outcome;
}

void AboutDialogTest::expectNothingReplaced(const Outcome &outcome, const QString &box)
{
    QCOMPARE(outcome.boxes.size(), 1);
    QVERIFY2(outcome.boxes.first().startsWith(box), qPrintable(outcome.boxes.first()));
    QCOMPARE(outcome.icons, QList<QMessageBox::Icon>{QMessageBox::Warning});
    QVERIFY(outcome.started.isEmpty());
    QVERIFY(outcome.exits.isEmpty());
    QCOMPARE(readFile(installerPath()), kEarlierInstaller);
    QCOMPARE(QDir(settingsDir).entryList(QDir::Files), QStringList{"ZARKUpdate.exe"});
}

void AboutDialogTest::initialState()
{
    AboutDialog dialog(settingsDir);
    QCOMPARE(dialog.objectName(), QString("AboutDialog"));
    QCOMPARE(dialog.windowTitle(), QString::fromUtf8("关于"));
    // Qt adds the system menu to any frame with a close button.
    QCOMPARE(int(dialog.windowFlags() & ~Qt::WindowSystemMenuHint), 0x0A041003);
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QCOMPARE(dialog.findChild<QLabel *>("label_appname")->text(), QString("Update Test"));
    QCOMPARE(dialog.findChild<QLabel *>("label_version")->text(),
             QStringLiteral("版本：") + kRunningVersion);
    QCOMPARE(dialog.findChild<QPushButton *>("pushButton")->text(), QString::fromUtf8("版本更新"));
    QCOMPARE(dialog.findChild<QPushButton *>("pushButton_cancel")->text(),
             QString::fromUtf8("取消"));
    QVERIFY(dialog.findChild<QLabel *>("label")->isHidden());
    QVERIFY(dialog.findChild<QLabel *>("label_right")->isHidden());
    QVERIFY(dialog.findChild<QPushButton *>("pushButton_cancel")->isHidden());
    const auto *bar = dialog.findChild<QProgressBar *>("progressBar");
    QVERIFY(bar->isHidden());
    QCOMPARE(bar->value(), 0);
    QCOMPARE(bar->maximum(), 100);
    QVERIFY(bar->isTextVisible());
}

void AboutDialogTest::progress_data()
{
    QTest::addColumn<bool>("sendLength");
    QTest::addColumn<int>("expected");

    // The bar starts at 37 so that leaving it alone can be told from resetting it.
    QTest::newRow("content length") << true << 100;
    QTest::newRow("no content length") << false << 37;
}

void AboutDialogTest::progress()
{
    QFETCH(bool, sendLength);
    QFETCH(int, expected);

    Bucket bucket;
    bucket.version = "3.0.240726.02";
    bucket.installer = QByteArray::fromStdString(fakestore::patternBody(300000));
    bucket.sendLength = sendLength;
    store->setHandler(serve(bucket));
    AboutDialog dialog(settingsDir);
    auto *bar = dialog.findChild<QProgressBar *>("progressBar");
    bar->setValue(37);

    const Outcome outcome = clickUpdate(dialog);
    QCOMPARE(outcome.started, QStringList{installerPath()});
    QCOMPARE(bar->value(), expected);
}

void AboutDialogTest::publishedVersions_data()
{
    QTest::addColumn<QByteArray>("published");
    QTest::addColumn<QString>("box");

    QTest::newRow("newer") << QByteArray("3.0.240726.02") << QString();
    QTest::newRow("more parts") << QByteArray("3.0.240726.01.1") << QString();
    QTest::newRow("equal") << QByteArray(kRunningVersion) << kLatest;
    QTest::newRow("older") << QByteArray("3.0.240726.00") << kLatest;
    QTest::newRow("fewer parts") << QByteArray("3.1") << kLatest;
    QTest::newRow("empty") << QByteArray() << QString::fromUtf8("更新失败\n发布的版本为空");
    QTest::newRow("blank") << QByteArray(" \r\n") << QString::fromUtf8("更新失败\n发布的版本为空");
    QTest::newRow("255 bytes") << QByteArray(255, '9') << kNoVersion;
    const QString tooLong = QString::fromUtf8(
            "更新失败\n无法读取发布的版本：The body is longer than the limit of 255 bytes.");
    QTest::newRow("many parts cut off") << QByteArray("9.").repeated(200) << tooLong;
    QTest::newRow("binary with more parts")
            << QByteArray("\x01\xff.\x80.\x7f.\xfe.\x02") << kNoVersion;
    QTest::newRow("parts not numbers") << QByteArray("3.0.new.est.1") << kNoVersion;
    QTest::newRow("NUL, then garbage")
            << QByteArray("3.0.240726.02\0", 14) + QByteArray(4000, '\x7f') << tooLong;
}

void AboutDialogTest::publishedVersions()
{
    QFETCH(QByteArray, published);
    QFETCH(QString, box);

    Bucket bucket;
    bucket.version = published;
    store->setHandler(serve(bucket));
    writeFile(installerPath(), kEarlierInstaller);
    AboutDialog dialog(settingsDir);

    const Outcome outcome = clickUpdate(dialog);
    if (!box.isEmpty()) {
        QCOMPARE(outcome.boxes, QStringList{box});
        QVERIFY(outcome.started.isEmpty());
        QVERIFY(outcome.exits.isEmpty());
        QCOMPARE(readFile(installerPath()), kEarlierInstaller);
        QCOMPARE(int(store->requests().size()), 1);
        return;
    }
    QVERIFY(outcome.boxes.isEmpty());
    QCOMPARE(outcome.started, QStringList{installerPath()});
    QCOMPARE(outcome.exits, QList<int>{0});
    QCOMPARE(readFile(installerPath()), kFakeInstaller);
    QVERIFY(QFileInfo(installerPath()).permissions() & QFileDevice::ExeOwner);
    QCOMPARE(QDir(settingsDir).entryList(QDir::Files), QStringList{"ZARKUpdate.exe"});
}

void AboutDialogTest::failures_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<std::function<void(Reply &)>>("spoil");
    QTest::addColumn<int>("installerAttempts");
    QTest::addColumn<QString>("reason"); // how the box's second line starts

    using Spoil = std::function<void(Reply &)>;
    const Spoil none;
    const auto check = [](const char *why) {
        return QString::fromUtf8("无法读取发布的版本：") + why;
    };
    const auto download = [](const char *why) {
        return QString::fromUtf8("无法下载安装程序：") + why;
    };
    const auto paced = [](Reply &reply) {
        reply.generatedLength = fakestore::kEndless;
        reply.paceBytes = 64 << 10;
        reply.paceInterval = std::chrono::milliseconds(20);
    };
    QTest::newRow("server unreachable")
            << "unreachable" << none << 0 << check("Couldn't connect to server (");
    QTest::newRow("version object missing")
            << "version missing" << none << 0
            << check("HTTP 状态 404, NoSuchKey: nothing is stored under this key");
    QTest::newRow("installer missing")
            << "installer missing" << none << 1
            << download("HTTP 状态 404, NoSuchKey: nothing is stored under this key");
    QTest::newRow("cut short, with length")
            << "installer cut" << none << 4 << download("Transferred a partial file");
    QTest::newRow("cut short, no length") << "" << Spoil([](Reply &reply) {
        reply.sendContentLength = false;
        reply.closeAfterBytes = 1000;
    }) << 1 << download("Crc64 validation failed.");
    QTest::newRow("shorter length than the object")
            << "" << Spoil([](Reply &reply) { reply.announcedLength = 1000; }) << 1
            << download("Crc64 validation failed.");
    QTest::newRow("zero bytes") << "" << Spoil([](Reply &reply) { reply.body.clear(); }) << 1
                                << download("The object is empty.");
    QTest::newRow("no checksum, no key")
            << "" << Spoil([](Reply &reply) { reply.withCrc64 = false; }) << 1
            << download("The answer carries no x-oss-hash-crc64ecma header.");
    QTest::newRow("204") << "" << Spoil([](Reply &reply) {
        reply.status = 204;
        reply.body.clear();
    }) << 1 << download("HTTP 状态 204");
    QTest::newRow("206 to a plain GET") << "" << Spoil([](Reply &reply) { reply.status = 206; })
                                        << 1 << download("HTTP 状态 206");
    QTest::newRow("conflicting lengths") << "" << Spoil([](Reply &reply) {
        reply.headers.emplace_back("Content-Length", std::to_string(reply.body.size() + 10));
    }) << 1 << download("The answer carries conflicting Content-Length headers.");
    // The time limit ends each attempt; time-outs are retried, so there are four.
    QTest::newRow("endless body") << "" << Spoil(paced) << 4 << download("Timeout was reached");
    QTest::newRow("endless chunked body") << "" << Spoil([paced](Reply &reply) {
        paced(reply);
        reply.chunked = true;
    }) << 4 << download("Timeout was reached");
    QTest::newRow("trickle") << "" << Spoil([](Reply &reply) {
        reply.paceBytes = 4;
        reply.paceInterval = std::chrono::milliseconds(250);
    }) << 4 << download("Timeout was reached");
    QTest::newRow("endless error document") << "" << Spoil([](Reply &reply) {
        reply.status = 404;
        reply.generatedLength = fakestore::kEndless;
    }) << 1 << download("HTTP 状态 404, ParseXMLError:");
}

void AboutDialogTest::failures()
{
    QFETCH(QString, failure);
    QFETCH(std::function<void(Reply &)>, spoil);
    QFETCH(int, installerAttempts);
    QFETCH(QString, reason);

    Bucket bucket;
    bucket.version = "3.0.240726.02";
    bucket.installer = QByteArray::fromStdString(fakestore::patternBody(200000));
    bucket.versionMissing = failure == "version missing";
    bucket.installerMissing = failure == "installer missing";
    bucket.installerCut = failure == "installer cut";
    bucket.spoil = spoil;
    store->setHandler(serve(bucket));
    if (failure == "unreachable") {
        // Nothing listens on the port of a store that has shut down.
        store = std::make_unique<fakestore::FakeObjectStore>(kKeyId, kSecret);
    }
    writeFile(installerPath(), kEarlierInstaller);
    AboutDialog dialog(settingsDir);
    dialog.setUpdatePublicKey({});

    QElapsedTimer timer;
    timer.start();
    const Outcome outcome = clickUpdate(dialog);
    expectNothingReplaced(outcome, kFailed + QLatin1Char('\n'));
    const QString why = outcome.boxes.first().section(QLatin1Char('\n'), 1);
    QVERIFY2(why.startsWith(reason), qPrintable(why));
    QCOMPARE(installerRequests(*store).size(), installerAttempts);
    // Four attempts of the time limit and the three pauses, with room for a loaded machine.
    QVERIFY2(timer.elapsed() < 4 * kTimeLimitMs + 2100 + 10000,
             QByteArray::number(timer.elapsed()));
}

void AboutDialogTest::signatures_data()
{
    QTest::addColumn<QString>("signature");
    QTest::addColumn<bool>("started");

    QTest::newRow("good, Base64") << "good" << true;
    QTest::newRow("good, raw bytes") << "raw" << true;
    QTest::newRow("missing") << "missing" << false;
    QTest::newRow("another key's") << "other key" << false;
    QTest::newRow("of another file") << "other file" << false;
    QTest::newRow("truncated") << "truncated" << false;
    QTest::newRow("not a signature") << "garbage" << false;
}

void AboutDialogTest::signatures()
{
    QFETCH(QString, signature);
    QFETCH(bool, started);

    Bucket bucket;
    bucket.version = "3.0.240726.02";
    // A checksum is not needed where a signature vouches.
    bucket.spoil = [](Reply &reply) {
        reply.withCrc64 = false;
    };
    const QString signedFile = keys.filePath("signed");
    writeFile(signedFile,
              signature == "other file" ? QByteArray("another program") : bucket.installer);
    signRelease({"sign",
                 keys.filePath(signature == "other key" ? "other.pem" : "release.pem"),
                 signedFile,
                 signedFile + ".sig"});
    QVERIFY(QFile::exists(signedFile + ".sig"));
    const QByteArray text = readFile(signedFile + ".sig");
    if (signature == "raw")
        bucket.signature = QByteArray::fromBase64(text);
    else if (signature == "truncated")
        bucket.signature = text.left(40);
    else if (signature == "garbage")
        bucket.signature = QByteArray(64, '\x01') + "!";
    else if (signature != "missing")
        bucket.signature = text;
    store->setHandler(serve(bucket));
    writeFile(installerPath(), kEarlierInstaller);
    AboutDialog dialog(settingsDir);
    dialog.setUpdatePublicKey(publicKey);

    const Outcome outcome = clickUpdate(dialog);
    if (!started) {
        expectNothingReplaced(outcome, kSignatureFailed);
        return;
    }
    QVERIFY(outcome.boxes.isEmpty());
    QCOMPARE(outcome.started, QStringList{installerPath()});
    QCOMPARE(readFile(installerPath()), kFakeInstaller);
}

// The check and the download leave the window's thread free: its timers tick through a
// stalled transfer, which Cancel then ends at once, leaving the earlier installer.
void AboutDialogTest::stalledTransferLeavesTheWindowAliveAndCancels()
{
    Bucket bucket;
    bucket.version = "3.0.240726.02";
    bucket.spoil = [](Reply &reply) {
        reply.generatedLength = 1 << 20;
        reply.stallAfterBytes = 300000;
        reply.stallFor = std::chrono::seconds(60);
    };
    store->setHandler(serve(bucket));
    writeFile(installerPath(), kEarlierInstaller);
    Nubora::setLimits({60000, 60000, 60000});
    AboutDialog dialog(settingsDir);
    dialog.setUpdatePublicKey({});
    QStringList boxes;
    dialog.setHooks({[&boxes](QWidget *, QMessageBox::Icon, const QString &, const QString &text) {
                         boxes << text;
                     },
                     [](const QString &) { return true; },
                     [](int) {
                     }});
    auto *bar = dialog.findChild<QProgressBar *>("progressBar");
    auto *cancel = dialog.findChild<QPushButton *>("pushButton_cancel");

    dialog.findChild<QPushButton *>("pushButton")->click();
    QVERIFY(cancel->isVisible() || !cancel->isHidden());
    QTRY_VERIFY_WITH_TIMEOUT(bar->value() > 0 && !bar->isHidden(), 20000);
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(50);
    QTest::qWait(1500);
    QVERIFY2(ticks >= 10, QByteArray::number(ticks));
    QVERIFY(!dialog.findChild<QPushButton *>("pushButton")->isEnabled());

    QElapsedTimer timer;
    timer.start();
    cancel->click();
    QTRY_VERIFY_WITH_TIMEOUT(cancel->isHidden(), 10000);
    Nubora::setLimits({kTimeLimitMs, kTimeLimitMs, 1000});
    QVERIFY2(timer.elapsed() < 5000, QByteArray::number(timer.elapsed()));
    QVERIFY(boxes.isEmpty());
    QCOMPARE(installerRequests(*store).size(), 1);
    QCOMPARE(readFile(installerPath()), kEarlierInstaller);
    QCOMPARE(QDir(settingsDir).entryList(QDir::Files), QStringList{"ZARKUpdate.exe"});
    QVERIFY(dialog.findChild<QPushButton *>("pushButton")->isEnabled());
}

void AboutDialogTest::leftoverPartialDownloadsAreRemoved_data()
{
    QTest::addColumn<QByteArray>("published");
    QTest::addColumn<QStringList>("files");

    QTest::newRow("update due") << QByteArray("3.0.240726.02")
                                << QStringList{"ZARKUpdate.exe", "notes.txt"};
    QTest::newRow("already the newest") << QByteArray(kRunningVersion) << QStringList{"notes.txt"};
    QTest::newRow("failed check") << QByteArray("not a version") << QStringList{"notes.txt"};
}

// Whatever the check finds, a partial download a killed run left behind goes.
void AboutDialogTest::leftoverPartialDownloadsAreRemoved()
{
    QFETCH(QByteArray, published);
    QFETCH(QStringList, files);
    Bucket bucket;
    bucket.version = published;
    store->setHandler(serve(bucket));
    writeFile(settingsDir + "/ZARKUpdate.exe.k1Ll3d.part", "left by a killed run");
    writeFile(settingsDir + "/notes.txt", "not ours");
    AboutDialog dialog(settingsDir);
    dialog.setUpdatePublicKey({});

    clickUpdate(dialog);
    QStringList left = QDir(settingsDir).entryList(QDir::Files);
    left.sort();
    QCOMPARE(left, files);
}

void AboutDialogTest::installerThatDoesNotStart()
{
    Bucket bucket;
    bucket.version = "3.0.240726.02";
    store->setHandler(serve(bucket));
    AboutDialog dialog(settingsDir);
    dialog.setUpdatePublicKey({});
    const Outcome outcome = clickUpdate(dialog, false);
    QCOMPARE(outcome.started, QStringList{installerPath()});
    QCOMPARE(outcome.boxes, QStringList{QString::fromUtf8("更新失败\n无法启动安装程序")});
    QCOMPARE(outcome.icons, QList<QMessageBox::Icon>{QMessageBox::Warning});
    QVERIFY(outcome.exits.isEmpty());
}

void AboutDialogTest::handOverEndsTheProgram()
{
    Bucket bucket;
    bucket.version = "3.0.240726.02";
    store->setHandler(serve(bucket));

    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), {kHandOverFlag, settingsDir});
    QVERIFY(child.waitForFinished(120000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);

    QCOMPARE(readFile(installerPath()), kFakeInstaller);
    // The installer runs on its own after the program has gone; no arguments reach it.
    QTRY_COMPARE_WITH_TIMEOUT(readFile(installerPath() + ".ran"), QByteArray("0\n"), 30000);
}

// The child side of handOverEndsTheProgram: the real start and exit, but a box would
// block, so it ends the child with a distinct status instead.
static int handOver(const QString &settingsDir)
{
    AboutDialog dialog(settingsDir);
    dialog.setUpdatePublicKey({});
    dialog.setHooks({[](QWidget *, QMessageBox::Icon, const QString &, const QString &text) {
                         fprintf(stderr, "box instead of hand-over: %s\n", qPrintable(text));
                         std::exit(3);
                     },
                     {},
                     {}});
    dialog.findChild<QPushButton *>("pushButton")->click();
    QTest::qWait(60000);
    fprintf(stderr, "the update went on instead of ending the program\n");
    return 4;
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(kRunningVersion);
    QGuiApplication::setApplicationDisplayName("Update Test");
    if (app.arguments().value(1) == kHandOverFlag)
        return handOver(app.arguments().value(2));
    AboutDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_aboutdialog.moc"
