#include <QtTest>

#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>

#include "aboutdialog.h"
#include "fake_object_store.h"

using fakestore::Reply;

namespace {

const char kKeyId[] = "UpdateTestKeyId000000000";
const char kSecret[] = "UpdateTestSecret00000000000000";
const char kRunningVersion[] = "3.0.240726.01";
const char kVersionKey[] = "Morvane/ZARK/Custom/Tevrano/version";
const char kInstallerKey[] = "Morvane/ZARK/Custom/Tevrano/DUNE_release_win32.exe";
const char kHandOverFlag[] = "--hand-over";
const QString kLatest = QString::fromUtf8("已经是最新版本");
const QString kFailed = QString::fromUtf8("更新失败");
const QByteArray kEarlierInstaller = "earlier installer";

// Records its argument count beside itself, so the test sees that it ran and how.
const QByteArray kFakeInstaller = "#!/bin/sh\necho $# > \"$0.ran\"\n";

// What one run of the button's slot did instead of showing boxes or ending the process.
struct Outcome {
    QStringList boxes;
    QStringList started;
    QList<int> exits;
};

// The published version and installer as the store serves them; any other key is missing.
struct Bucket {
    QByteArray version;
    QByteArray installer = kFakeInstaller;
    bool versionMissing = false;
    bool installerMissing = false;
    bool installerCut = false;
    bool sendLength = true;
};

Reply missingKey()
{
    Reply reply;
    reply.status = 404;
    reply.body = fakestore::errorDocument("NoSuchKey", "The specified key does not exist.", "UPDATE-TEST");
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
        if (request.key != kInstallerKey || bucket.installerMissing)
            return missingKey();
        reply.body = bucket.installer.toStdString();
        reply.sendContentLength = bucket.sendLength;
        if (bucket.installerCut)
            reply.closeAfterBytes = bucket.installer.size() / 2;
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

}

class AboutDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void form();
    void progress_data();
    void progress();
    void publishedVersions_data();
    void publishedVersions();
    void failures_data();
    void failures();
    void installerThatDoesNotStart();
    void handOverEndsTheProgram();

private:
    Outcome clickUpdate(AboutDialog &dialog);
    QString installerPath() const { return settingsDir + "/ZARKUpdate.exe"; }

    std::unique_ptr<fakestore::FakeObjectStore> store;
    std::unique_ptr<QTemporaryDir> directory;
    QString settingsDir;
};

void AboutDialogTest::initTestCase()
{
    qputenv("NUBORA_ACCESS_KEY_ID", kKeyId);
    qputenv("NUBORA_ACCESS_KEY_SECRET", kSecret);
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

Outcome AboutDialogTest::clickUpdate(AboutDialog &dialog)
{
    Outcome outcome;
    dialog.setHooks({[&outcome](QWidget *parent, const QString &title, const QString &text) {
                         // The boxes belong to the dialog and carry no title.
                         outcome.boxes << (parent && title.isEmpty() ? text : QStringLiteral("<malformed box>"));
                     },
                     [&outcome](const QString &program) {
                         outcome.started << program;
                         return true;
                     },
                     [&outcome](int status) { outcome.exits << status; }});
    dialog.findChild<QPushButton *>("pushButton")->click();
    return outcome;
}

void AboutDialogTest::form()
{
    AboutDialog dialog(settingsDir);
    QCOMPARE(dialog.objectName(), QString("AboutDialog"));
    QCOMPARE(dialog.windowTitle(), QString::fromUtf8("关于"));
    // Qt adds the system menu to any frame with a close button.
    QCOMPARE(int(dialog.windowFlags() & ~Qt::WindowSystemMenuHint), 0x0A041003);
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QCOMPARE(dialog.findChild<QLabel *>("label_appname")->text(), QString("Update Test"));
    QCOMPARE(dialog.findChild<QLabel *>("label_version")->text(), QString("Version:") + kRunningVersion);
    QCOMPARE(dialog.findChild<QPushButton *>("pushButton")->text(), QString::fromUtf8("版本更新"));
    QVERIFY(dialog.findChild<QLabel *>("label")->isHidden());
    QVERIFY(dialog.findChild<QLabel *>("label_right")->isHidden());
    const auto *bar = dialog.findChild<QProgressBar *>("progressBar");
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
    QTest::newRow("empty") << QByteArray() << kLatest;
    QTest::newRow("255 bytes") << QByteArray(255, '9') << kFailed;
    QTest::newRow("many parts cut off") << QByteArray("9.").repeated(200) << kFailed;
    QTest::newRow("binary with more parts") << QByteArray("\x01\xff.\x80.\x7f.\xfe.\x02") << kFailed;
    QTest::newRow("parts not numbers") << QByteArray("3.0.new.est.1") << kFailed;
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

    QTest::newRow("server unreachable") << "unreachable";
    QTest::newRow("version object missing") << "version missing";
    QTest::newRow("installer missing") << "installer missing";
    QTest::newRow("installer cut off midway") << "installer cut";
}

void AboutDialogTest::failures()
{
    QFETCH(QString, failure);

    Bucket bucket;
    bucket.version = "3.0.240726.02";
    bucket.installer = QByteArray::fromStdString(fakestore::patternBody(200000));
    bucket.versionMissing = failure == "version missing";
    bucket.installerMissing = failure == "installer missing";
    bucket.installerCut = failure == "installer cut";
    store->setHandler(serve(bucket));
    if (failure == "unreachable") {
        // Nothing listens on the port of a store that has shut down.
        store = std::make_unique<fakestore::FakeObjectStore>(kKeyId, kSecret);
    }
    writeFile(installerPath(), kEarlierInstaller);
    AboutDialog dialog(settingsDir);

    const Outcome outcome = clickUpdate(dialog);
    QCOMPARE(outcome.boxes, QStringList{kFailed});
    QVERIFY(outcome.started.isEmpty());
    QVERIFY(outcome.exits.isEmpty());
    QCOMPARE(readFile(installerPath()), kEarlierInstaller);
    QCOMPARE(QDir(settingsDir).entryList(QDir::Files), QStringList{"ZARKUpdate.exe"});
}

void AboutDialogTest::installerThatDoesNotStart()
{
    Bucket bucket;
    bucket.version = "3.0.240726.02";
    store->setHandler(serve(bucket));
    AboutDialog dialog(settingsDir);
    QStringList boxes;
    bool exited = false;
    dialog.setHooks({[&boxes](QWidget *, const QString &, const QString &text) { boxes << text; },
                     [](const QString &) { return false; }, [&exited](int) { exited = true; }});

    dialog.findChild<QPushButton *>("pushButton")->click();
    QCOMPARE(boxes, QStringList{kFailed});
    QVERIFY(!exited);
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
    dialog.setHooks({[](QWidget *, const QString &, const QString &text) {
                         fprintf(stderr, "box instead of hand-over: %s\n", qPrintable(text));
                         std::exit(3);
                     },
                     {}, {}});
    dialog.findChild<QPushButton *>("pushButton")->click();
    fprintf(stderr, "the update returned instead of ending the program\n");
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
