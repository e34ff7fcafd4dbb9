#include <QtTest>

#include <thread>

#include <lzma.h>

#include "fake_object_store.h"
#include "nubora.h"

using fakestore::Reply;

namespace {

const char kKeyId[] = "DownloadTestKeyId0000000";
const char kSecret[] = "DownloadTestSecret000000000000";
char kBucket[] = "ambrel";
char kVersionKey[] = "Morvane/ZARK/Custom/Tevrano/version";

QStringList debugLines;

void collectDebugLines(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg)
        debugLines << message;
}

struct ProgressReport
{
    std::uint32_t block;
    std::int64_t soFar;
    std::int64_t total;
};

void recordProgress(std::uint32_t block, std::int64_t soFar, std::int64_t total, void *userData)
{
    static_cast<std::vector<ProgressReport> *>(userData)->push_back({block, soFar, total});
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Every request gets a 200 with this body.
void serveBody(fakestore::FakeObjectStore &store, const std::string &body)
{
    store.setHandler([body](const fakestore::ReceivedRequest &, int) {
        Reply reply;
        reply.body = body;
        return reply;
    });
}

long long peakResidentKiB()
{
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

} // namespace

class DownloadTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void missingKey();
    void serverErrorsAreRetried_data();
    void serverErrorsAreRetried();
    void skewedClockIsCorrected();
    void badSignatureIsNotRetried();
    void crcChecks_data();
    void crcChecks();
    void zeroByteObject();
    void unwritableTarget();
    void invalidBucketSendsNothing();
    void largeObjectWithProgressAndRetry();
    void textIsAlwaysTerminated();
    void badErrorDocuments_data();
    void badErrorDocuments();
    void memoryStaysFlatForLargeFiles();
    void boundedAnswers_data();
    void boundedAnswers();
    void dishonestAnswers_data();
    void dishonestAnswers();
    void wholeObjectIntoBuffer();
    void fullDiskFails();
    void cancelFromAnotherThread();

private:
    std::unique_ptr<fakestore::FakeObjectStore> store;
    std::unique_ptr<QTemporaryDir> directory;
    QByteArray targetPath;
};

void DownloadTest::initTestCase()
{
    qputenv("NUBORA_ACCESS_KEY_ID", kKeyId);
    qputenv("NUBORA_ACCESS_KEY_SECRET", kSecret);
    qInstallMessageHandler(collectDebugLines);
}

void DownloadTest::init()
{
    store = std::make_unique<fakestore::FakeObjectStore>(kKeyId, kSecret);
    qputenv("NUBORA_ENDPOINT", store->endpoint().c_str());
    directory = std::make_unique<QTemporaryDir>();
    QVERIFY(directory->isValid());
    targetPath = directory->filePath("ZARKUpdate.exe").toLocal8Bit();
    debugLines.clear();
}

void DownloadTest::cleanup()
{
    for (const auto &request :
         store ? store->requests() : std::vector<fakestore::ReceivedRequest>())
        if (!request.problems.empty()
            && QByteArray(QTest::currentTestFunction()) != "badSignatureIsNotRetried"
            && QByteArray(QTest::currentTestFunction()) != "skewedClockIsCorrected")
            QFAIL(("the store refused a request: " + request.problems.front()).c_str());
    store.reset();
    directory.reset();
}

void DownloadTest::missingKey()
{
    store->setHandler([](const fakestore::ReceivedRequest &, int) {
        Reply reply;
        reply.status = 404;
        reply.headers = {{"x-oss-request-id", "header-rid"}};
        reply.body = fakestore::errorDocument(
                "NoSuchKey", "nothing is stored under this key", "5F2A0B");
        return reply;
    });
    QFile existing(QString::fromLocal8Bit(targetPath));
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("previous installer");
    existing.close();
    char missingPath[] = "/nonexistent-dir-for-test/file"; // must not be touched either

    Nubora nubora;
    nubora.setBucketName(kBucket);
    QCOMPARE(nubora.download2Mem(kVersionKey), static_cast<char *>(nullptr));
    QCOMPARE(nubora.downloadFile(kVersionKey, targetPath.data()), -1);
    QCOMPARE(readFile(QString::fromLocal8Bit(targetPath)), QByteArray("previous installer"));
    QCOMPARE(nubora.downloadFile(kVersionKey, missingPath), -1);
    const Nubora::Failure failure = nubora.lastFailure();
    QCOMPARE(failure.httpStatus, 404);
    QCOMPARE(failure.code, std::string("NoSuchKey"));
    QCOMPARE(failure.message, std::string("nothing is stored under this key"));

    QCOMPARE(int(store->requests().size()), 3);
    QCOMPARE(store->requests().at(0).key, std::string(kVersionKey));
    QCOMPARE(debugLines.size(), 3);
    for (const QString &line : debugLines)
        QCOMPARE(line,
                 QString("getObjectToBuffer fail,code:NoSuchKey,message:nothing is stored under "
                         "this key"
                         ",requestId:5F2A0B"));
}

void DownloadTest::serverErrorsAreRetried_data()
{
    QTest::addColumn<int>("failures");
    QTest::addColumn<int>("result");
    QTest::newRow("three 503 then 200") << 3 << 0;
    QTest::newRow("four 503") << 4 << -1;
}

void DownloadTest::serverErrorsAreRetried()
{
    QFETCH(int, failures);
    QFETCH(int, result);
    store->setHandler([failures](const fakestore::ReceivedRequest &, int index) {
        Reply reply;
        if (index < failures) {
            reply.status = 503;
            reply.body = fakestore::errorDocument(
                    "ServiceUnavailable", "try " + std::to_string(index), "rid");
        } else {
            reply.body = "installer bytes";
        }
        return reply;
    });
    Nubora nubora;
    nubora.setBucketName(kBucket);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(nubora.downloadFile(kVersionKey, targetPath.data()), result);
    QVERIFY(timer.elapsed() >= 2000);

    const auto requests = store->requests();
    QCOMPARE(int(requests.size()), 4);
    const int pausesMs[] = {300, 600, 1200};
    for (int i = 0; i < 3; ++i)
        QVERIFY(requests[size_t(i + 1)].arrival - requests[size_t(i)].arrival
                >= std::chrono::milliseconds(pausesMs[i] - 20));
    // Only the call's end counts: the failed attempts before a success leave nothing behind.
    QCOMPARE(nubora.lastFailure().code.empty(), result == 0);
    if (result == 0) {
        QCOMPARE(readFile(QString::fromLocal8Bit(targetPath)), QByteArray("installer bytes"));
        QCOMPARE(debugLines.last(), QString("GetObjectToFile success 15"));
    } else {
        QVERIFY(!QFile::exists(QString::fromLocal8Bit(targetPath)));
        QCOMPARE(debugLines.last(),
                 QString("getObjectToBuffer fail,code:ServiceUnavailable,message:try "
                         "3,requestId:rid"));
    }
}

void DownloadTest::skewedClockIsCorrected()
{
    store->setClockOffset(std::chrono::hours(-3));
    store->setHandler([](const fakestore::ReceivedRequest &, int) {
        Reply reply;
        reply.body = "3.0.261208.1";
        return reply;
    });
    Nubora nubora;
    nubora.setBucketName(kBucket);
    const char *text = nubora.download2Mem(kVersionKey);
    QVERIFY(text);
    QCOMPARE(QByteArray(text), QByteArray("3.0.261208.1"));

    const auto requests = store->requests();
    QCOMPARE(int(requests.size()), 2);
    QVERIFY(!requests[0].problems.empty());
    QVERIFY(requests[1].problems.empty());
    const QDateTime retryDate
            = QLocale::c().toDateTime(QString::fromStdString(requests[1].headers.at("Date")),
                                      "ddd, dd MMM yyyy HH:mm:ss 'GMT'");
    QVERIFY(retryDate.isValid());
    const qint64 shift = QDateTime::currentDateTimeUtc().secsTo(
            QDateTime(retryDate.date(), retryDate.time(), Qt::UTC));
    QVERIFY2(std::abs(shift + 3 * 3600) < 120, QByteArray::number(shift));
}

void DownloadTest::badSignatureIsNotRetried()
{
    qputenv("NUBORA_ACCESS_KEY_SECRET", "WrongSecret0000000000000000000");
    Nubora nubora;
    qputenv("NUBORA_ACCESS_KEY_SECRET", kSecret);
    nubora.setBucketName(kBucket);
    QCOMPARE(nubora.downloadFile(kVersionKey, targetPath.data()), -1);
    QCOMPARE(int(store->requests().size()), 1);
    QVERIFY(debugLines.last().startsWith("getObjectToBuffer fail,code:SignatureDoesNotMatch,"));
    QVERIFY(!QFile::exists(QString::fromLocal8Bit(targetPath)));
}

void DownloadTest::crcChecks_data()
{
    QTest::addColumn<bool>("withCrc");
    QTest::addColumn<QString>("crcValue");
    QTest::addColumn<int>("result");
    QTest::newRow("matching") << true << "" << 0;
    QTest::newRow("wrong") << true << "42" << -1;
    QTest::newRow("absent passes on status") << false << "" << 0;
}

void DownloadTest::crcChecks()
{
    QFETCH(bool, withCrc);
    QFETCH(QString, crcValue);
    QFETCH(int, result);
    store->setHandler([withCrc, crcValue](const fakestore::ReceivedRequest &, int) {
        Reply reply;
        reply.generatedLength = 100000;
        reply.withCrc64 = withCrc;
        reply.crc64Override = crcValue.toStdString();
        reply.headers = {{"x-oss-request-id", "rid-crc"}};
        return reply;
    });
    Nubora nubora;
    nubora.setBucketName(kBucket);
    QCOMPARE(nubora.downloadFile(kVersionKey, targetPath.data()), result);
    QCOMPARE(int(store->requests().size()), 1);
    if (result == 0) {
        QCOMPARE(debugLines.last(), QString("GetObjectToFile success 100000"));
    } else {
        QCOMPARE(debugLines.last(),
                 "getObjectToBuffer fail,code:ClientError:100001,message:Crc64 validation failed. "
                 "Expected hash:42 not equal to calculated hash:"
                         + QString::number(fakestore::patternCrc64(100000))
                         + ". Transferd bytes:100000. RequestId:rid-crc,requestId:rid-crc");
    }
}

void DownloadTest::zeroByteObject()
{
    store->setHandler([](const fakestore::ReceivedRequest &, int) { return Reply{}; });
    Nubora nubora;
    nubora.setBucketName(kBucket);
    QCOMPARE(nubora.downloadFile(kVersionKey, targetPath.data()), 0);
    QVERIFY(!QFile::exists(QString::fromLocal8Bit(targetPath)));
    const char *text = nubora.download2Mem(kVersionKey);
    QVERIFY(text);
    QCOMPARE(text[0], '\0');
}

void DownloadTest::unwritableTarget()
{
    store->setHandler([](const fakestore::ReceivedRequest &, int) {
        Reply reply;
        reply.body = "content";
        return reply;
    });
    QByteArray path = directory->filePath("missing/ZARKUpdate.exe").toLocal8Bit();
    Nubora nubora;
    nubora.setBucketName(kBucket);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(nubora.downloadFile(kVersionKey, path.data()), -1);
    QVERIFY(timer.elapsed() >= 2000);
    QCOMPARE(int(store->requests().size()), 4);
    QVERIFY(debugLines.last().startsWith(
            "getObjectToBuffer fail,code:ClientError:200023,message:"));
    QVERIFY(debugLines.last().endsWith(
            ". Caused by content is in fail state(Logical error on i/o operation).,requestId:"));
}

void DownloadTest::invalidBucketSendsNothing()
{
    char bucket[] = "Bad_Bucket";
    Nubora nubora;
    nubora.setBucketName(bucket);
    QCOMPARE(nubora.downloadFile(kVersionKey, targetPath.data()), -1);
    QCOMPARE(nubora.download2Mem(kVersionKey), static_cast<char *>(nullptr));
    Nubora unset;
    QCOMPARE(unset.download2Mem(kVersionKey), static_cast<char *>(nullptr));
    QCOMPARE(int(store->requests().size()), 0);
    QCOMPARE(debugLines.size(), 3);
    QVERIFY(debugLines.first().startsWith(
            "getObjectToBuffer fail,code:ValidateError,message:The bucket name is invalid."));
}

void DownloadTest::largeObjectWithProgressAndRetry()
{
    const std::int64_t length = 24 << 20;
    store->setHandler([length](const fakestore::ReceivedRequest &, int index) {
        Reply reply;
        reply.generatedLength = length;
        if (index == 0)
            reply.closeAfterBytes = 8 << 20;
        return reply;
    });
    std::vector<ProgressReport> reports;
    Nubora nubora;
    nubora.setBucketName(kBucket);
    nubora.setProcessCallback(recordProgress, &reports);
    QCOMPARE(nubora.downloadFile(kVersionKey, targetPath.data()), 0);
    QCOMPARE(int(store->requests().size()), 2);

    int restarts = 0;
    std::int64_t expectedSoFar = 0;
    for (const ProgressReport &report : reports) {
        if (report.soFar == std::int64_t(report.block) && expectedSoFar != 0) {
            ++restarts;
            expectedSoFar = 0;
        }
        expectedSoFar += report.block;
        QCOMPARE(report.soFar, expectedSoFar);
        QCOMPARE(report.total, length);
    }
    QCOMPARE(restarts, 1);
    QCOMPARE(reports.back().soFar, length);

    const QByteArray content = readFile(QString::fromLocal8Bit(targetPath));
    QCOMPARE(content.size(), int(length));
    QCOMPARE(lzma_crc64(reinterpret_cast<const uint8_t *>(content.constData()),
                        size_t(content.size()),
                        0),
             fakestore::patternCrc64(length));
}

void DownloadTest::textIsAlwaysTerminated()
{
    serveBody(*store, std::string(300, 'L'));
    Nubora nubora;
    nubora.setBucketName(kBucket);
    const char *longText = nubora.download2Mem(kVersionKey);
    QVERIFY(longText);
    QCOMPARE(QByteArray(longText), QByteArray(255, 'L'));

    serveBody(*store, "3.0.1");
    const char *shortText = nubora.download2Mem(kVersionKey);
    QCOMPARE(shortText, longText);
    QCOMPARE(QByteArray(shortText), QByteArray("3.0.1"));
}

void DownloadTest::badErrorDocuments_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("codePrefix");
    std::string deep;
    for (int depth = 0; depth < 5000; ++depth)
        deep += "<Error>";
    QTest::newRow("not XML") << QByteArray("<html><body>gateway") << "ParseXMLError:";
    QTest::newRow("another root") << QByteArray("<Result/>")
                                  << "ParseXMLError,message:Xml format invalid";
    QTest::newRow("deeply nested") << QByteArray::fromStdString(deep) << "ParseXMLError:";
    QTest::newRow("huge, cut while reading")
            << QByteArray("<Error><Message>") + QByteArray(6 << 20, 'm') << "ParseXMLError:";
}

void DownloadTest::badErrorDocuments()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, codePrefix);
    store->setHandler([body](const fakestore::ReceivedRequest &, int) {
        Reply reply;
        reply.status = 404;
        reply.body = body.toStdString();
        return reply;
    });
    Nubora nubora;
    nubora.setBucketName(kBucket);
    QCOMPARE(nubora.downloadFile(kVersionKey, targetPath.data()), -1);
    QVERIFY(!QFile::exists(QString::fromLocal8Bit(targetPath)));
    QVERIFY2(debugLines.last().startsWith("getObjectToBuffer fail,code:" + codePrefix),
             qPrintable(debugLines.last().left(200)));
}

// The body streams to the file: peak memory does not follow the object's size.
void DownloadTest::memoryStaysFlatForLargeFiles()
{
    const std::int64_t length = 192 << 20;
    store->setHandler([length](const fakestore::ReceivedRequest &, int) {
        Reply reply;
        reply.generatedLength = length;
        return reply;
    });
    Nubora nubora;
    nubora.setBucketName(kBucket);
    const long long before = peakResidentKiB();
    QCOMPARE(nubora.downloadFile(kVersionKey, targetPath.data()), 0);
    const long long growth = peakResidentKiB() - before;
    QCOMPARE(QFileInfo(QString::fromLocal8Bit(targetPath)).size(), qint64(length));
    QVERIFY2(growth < 64 * 1024, QByteArray::number(growth) + " KiB");
}

void DownloadTest::boundedAnswers_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<int>("status"); // the answer's
    QTest::addColumn<bool>("endless");
    QTest::addColumn<bool>("withCrc");
    QTest::addColumn<QString>("code");

    QTest::newRow("text past 64 KiB") << "text" << 200 << true << true << "ClientError:100003";
    QTest::newRow("file past its size limit")
            << "file" << 200 << true << true << "ClientError:100003";
    QTest::newRow("endless error document, text")
            << "text" << 404 << true << true << "ParseXMLError:";
    QTest::newRow("endless error document, file")
            << "file" << 404 << true << true << "ParseXMLError:";
    QTest::newRow("204") << "file" << 204 << false << true << "ClientError:204";
    QTest::newRow("206 to a plain GET") << "text" << 206 << false << true << "ClientError:206";
    QTest::newRow("empty where content is needed")
            << "file" << 200 << false << true << "ClientError:100005";
    QTest::newRow("no checksum where one is needed")
            << "file" << 200 << false << false << "ClientError:100006";
}

// Each fails at once on its first attempt, keeping no more than its limit in memory or on disk.
void DownloadTest::boundedAnswers()
{
    QFETCH(QString, call);
    QFETCH(int, status);
    QFETCH(bool, endless);
    QFETCH(bool, withCrc);
    QFETCH(QString, code);
    const bool empty = QByteArray(QTest::currentDataTag()).startsWith("empty");
    store->setHandler([=](const fakestore::ReceivedRequest &, int) {
        Reply reply;
        reply.status = status;
        reply.withCrc64 = withCrc;
        reply.generatedLength = endless ? fakestore::kEndless : empty || status == 204 ? 0 : 1000;
        return reply;
    });
    Nubora nubora;
    nubora.setBucketName(kBucket);
    QElapsedTimer timer;
    timer.start();
    if (call == "text") {
        QCOMPARE(nubora.download2Mem(kVersionKey), static_cast<char *>(nullptr));
    } else {
        Nubora::FileRules rules;
        rules.maxBytes = 1 << 20;
        rules.contentRequired = true;
        rules.checksumRequired = true;
        QCOMPARE(nubora.downloadFile(kVersionKey, targetPath.data(), rules), -1);
        QVERIFY(QFileInfo(QString::fromLocal8Bit(targetPath)).size() <= rules.maxBytes);
    }
    QVERIFY2(debugLines.last().startsWith("getObjectToBuffer fail,code:" + code),
             qPrintable(debugLines.last().left(300)));
    QCOMPARE(int(store->requests().size()), 1);
    QVERIFY2(timer.elapsed() < 20000, QByteArray::number(timer.elapsed()));
}

void DownloadTest::dishonestAnswers_data()
{
    QTest::addColumn<QByteArray>("raw"); // the whole answer; empty: a body past the default cap
    QTest::addColumn<QString>("code");

    QTest::newRow("past the default cap, no rules") << QByteArray() << "ClientError:100003";
    QTest::newRow("length beyond 64 bits, cut short")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\n"
                          "short body")
            << "ClientError:100007";
    QTest::newRow("chunked, shorter than its length")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\nTransfer-Encoding: "
                          "chunked\r\n\r\na\r\nshort body\r\n0\r\n\r\n")
            << "ClientError:100007";
}

// Each fails on its first attempt without filling the disk, and says why.
void DownloadTest::dishonestAnswers()
{
    QFETCH(QByteArray, raw);
    QFETCH(QString, code);
    store->setHandler([raw](const fakestore::ReceivedRequest &, int) {
        Reply reply;
        reply.raw = raw.toStdString();
        // Just past the cap: without one the download would end soon, as a success.
        reply.generatedLength = Nubora::kFileTransferLimit + (1 << 20);
        reply.withCrc64 = false;
        return reply;
    });
    Nubora nubora;
    nubora.setBucketName(kBucket);
    QCOMPARE(nubora.downloadFile(kVersionKey, targetPath.data()), -1);
    QVERIFY(QFileInfo(QString::fromLocal8Bit(targetPath)).size() <= Nubora::kFileTransferLimit);
    QCOMPARE(QString::fromStdString(nubora.lastFailure().code), code);
    QCOMPARE(nubora.lastFailure().httpStatus, 0);
    QVERIFY(!nubora.lastFailure().message.empty());
    QCOMPARE(int(store->requests().size()), 1);
}

void DownloadTest::wholeObjectIntoBuffer()
{
    const std::string object("3.0.1\0garbage", 13);
    serveBody(*store, object);
    Nubora nubora;
    nubora.setBucketName(kBucket);
    char buffer[16];
    QCOMPARE(nubora.download2Buffer(kVersionKey, buffer, sizeof buffer), std::int64_t(13));
    QCOMPARE(QByteArray(buffer, 13), QByteArray::fromStdString(object));
    QCOMPARE(nubora.download2Buffer(kVersionKey, buffer, 12), std::int64_t(-1));
    QVERIFY(debugLines.last().startsWith("getObjectToBuffer fail,code:ClientError:100003"));
}

// /dev/full takes the file open but refuses every write, as a full disk does.
void DownloadTest::fullDiskFails()
{
    if (!QFileInfo::exists("/dev/full"))
        QSKIP("no /dev/full here");
    serveBody(*store, "a few bytes that stay in the stream's buffer");
    char full[] = "/dev/full";
    Nubora nubora;
    nubora.setBucketName(kBucket);
    QCOMPARE(nubora.downloadFile(kVersionKey, full), -1);
    QVERIFY(debugLines.last().startsWith("getObjectToBuffer fail,code:ClientError:200023"));
}

// A transfer held by a stalling server ends within moments of cancel() from another thread,
// with no retry, and so does every later download of the object.
void DownloadTest::cancelFromAnotherThread()
{
    store->setHandler([](const fakestore::ReceivedRequest &, int) {
        Reply reply;
        reply.generatedLength = 1 << 20;
        reply.stallAfterBytes = 1000;
        reply.stallFor = std::chrono::seconds(60);
        return reply;
    });
    Nubora nubora;
    nubora.setBucketName(kBucket);
    std::thread canceller([&nubora, this] {
        for (int wait = 0; wait < 200 && store->requests().empty(); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        nubora.cancel();
    });
    QElapsedTimer timer;
    timer.start();
    const int result = nubora.downloadFile(kVersionKey, targetPath.data());
    const qint64 elapsed = timer.elapsed();
    canceller.join();
    QCOMPARE(result, -1);
    QVERIFY2(elapsed < 5000, QByteArray::number(elapsed));
    QCOMPARE(int(store->requests().size()), 1);
    QCOMPARE(nubora.download2Mem(kVersionKey), static_cast<char *>(nullptr));
    QCOMPARE(int(store->requests().size()), 1);
}

QTEST_GUILESS_MAIN(DownloadTest)
#include "tst_download.moc"
