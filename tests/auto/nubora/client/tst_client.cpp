#include <QtTest>

#include <fstream>

#include "fake_object_store.h"
#include "object_client.h"

using fakestore::Reply;

namespace {
const char kKeyId[] = "TestKeyId000000000000000";
const char kSecret[] = "TestSecret00000000000000000000";
} // namespace

class ClientTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { curl_global_init(CURL_GLOBAL_ALL); }
    void cleanupTestCase() { curl_global_cleanup(); }
    void httpDate();
    void stalledAttemptIsRetriedAndOverwritten();
    void skewedClockIsCorrectedForLaterRequests();
    void crcMismatchIsNotRetried();
    void rangeSkipsTheCrcCheck();
    void keyWithBlankIsSignedWithTheBlank();
    void disabledTransportEndsTheLoop();
};

void ClientTest::httpDate()
{
    const QDateTime when(QDate(2026, 12, 7), QTime(0, 20, 44), Qt::UTC);
    QCOMPARE(QString::fromStdString(nubora::formatHttpDate(std::time_t(when.toSecsSinceEpoch()))),
             QString("Mon, 07 Dec 2026 00:20:44 GMT"));
}

void ClientTest::stalledAttemptIsRetriedAndOverwritten()
{
    QTemporaryDir directory;
    fakestore::FakeObjectStore store(kKeyId, kSecret);
    const std::int64_t length = 2 << 20;
    store.setHandler([length](const fakestore::ReceivedRequest &, int index) {
        Reply reply;
        reply.generatedLength = length;
        if (index == 0) {
            reply.stallAfterBytes = length / 2;
            reply.stallFor = std::chrono::seconds(30);
        }
        return reply;
    });

    nubora::TransportSettings settings;
    settings.stallWindowMs = 1000;
    nubora::ObjectClient client(store.endpoint(), kKeyId, kSecret, settings);
    nubora::GetObjectRequest request("bucket-1", "dir/object");
    const std::string path = directory.filePath("object.bin").toStdString();
    int opened = 0;
    request.setResponseStreamFactory([path, &opened] {
        ++opened;
        return std::make_shared<std::fstream>(
                path, std::ios::in | std::ios::out | std::ios::binary | std::ios::trunc);
    });

    nubora::FetchOutcome outcome = client.getObject(request);
    QVERIFY2(outcome.success, outcome.error.message.c_str());
    QCOMPARE(opened, 2);
    outcome = {};
    std::ifstream file(path, std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(file)),
                              std::istreambuf_iterator<char>());
    QCOMPARE(std::int64_t(content.size()), length);
    QVERIFY(content == fakestore::patternBody(length));

    const auto requests = store.requests();
    QCOMPARE(int(requests.size()), 2);
    for (const auto &received : requests)
        QVERIFY(received.problems.empty());
}

void ClientTest::skewedClockIsCorrectedForLaterRequests()
{
    fakestore::FakeObjectStore store(kKeyId, kSecret);
    store.setClockOffset(std::chrono::hours(2));
    store.setHandler([](const fakestore::ReceivedRequest &, int) {
        Reply reply;
        reply.body = "1";
        return reply;
    });
    nubora::ObjectClient client(store.endpoint(), kKeyId, kSecret, nubora::TransportSettings());

    QElapsedTimer timer;
    timer.start();
    QVERIFY(client.getObject(nubora::GetObjectRequest("bucket-1", "a")).success);
    QVERIFY(timer.elapsed() >= 290);
    QVERIFY(std::abs(client.dateOffset() - 7200) < 120);
    // The second download dates itself right from the start.
    QVERIFY(client.getObject(nubora::GetObjectRequest("bucket-1", "b")).success);

    const auto requests = store.requests();
    QCOMPARE(int(requests.size()), 3);
    QCOMPARE(QString::fromStdString(requests[0].problems.at(0)).section(':', 0, 0),
             QString("RequestTimeTooSkewed"));
    QVERIFY(requests[1].problems.empty());
    QVERIFY(requests[2].problems.empty());
    QVERIFY(requests[1].arrival - requests[0].arrival >= std::chrono::milliseconds(280));
}

void ClientTest::crcMismatchIsNotRetried()
{
    fakestore::FakeObjectStore store(kKeyId, kSecret);
    store.setHandler([](const fakestore::ReceivedRequest &, int) {
        Reply reply;
        reply.body = "123456789";
        reply.crc64Override = "12345";
        reply.headers = {{"x-oss-request-id", "rid-crc"}};
        return reply;
    });
    nubora::ObjectClient client(store.endpoint(), kKeyId, kSecret, nubora::TransportSettings());
    const nubora::FetchOutcome outcome
            = client.getObject(nubora::GetObjectRequest("bucket-1", "a"));
    QVERIFY(!outcome.success);
    QCOMPARE(outcome.error.code, std::string("ClientError:100001"));
    QCOMPARE(outcome.error.message,
             std::string(
                     "Crc64 validation failed. Expected hash:12345 not equal to calculated hash:")
                     + std::to_string(0x995DC9BBDF1939FAULL)
                     + ". Transferd bytes:9. RequestId:rid-crc");
    QCOMPARE(outcome.error.requestId, std::string("rid-crc"));
    QCOMPARE(int(store.requests().size()), 1);
}

void ClientTest::rangeSkipsTheCrcCheck()
{
    fakestore::FakeObjectStore store(kKeyId, kSecret);
    store.setHandler([](const fakestore::ReceivedRequest &, int) {
        Reply reply;
        reply.status = 206;
        reply.body = "2345";
        reply.crc64Override = "1"; // of the whole object, not of the part
        return reply;
    });
    nubora::ObjectClient client(store.endpoint(), kKeyId, kSecret, nubora::TransportSettings());
    nubora::GetObjectRequest request("bucket-1", "a");
    request.setHeader("Range", "bytes=1-4");
    QVERIFY(client.getObject(request).success);
    QCOMPARE(store.requests().at(0).headers.at("Range"), std::string("bytes=1-4"));
}

void ClientTest::keyWithBlankIsSignedWithTheBlank()
{
    fakestore::FakeObjectStore store(kKeyId, kSecret);
    store.setHandler([](const fakestore::ReceivedRequest &, int) { return Reply{}; });
    nubora::ObjectClient client(store.endpoint(), kKeyId, kSecret, nubora::TransportSettings());
    QVERIFY(client.getObject(nubora::GetObjectRequest("bucket-1", "Tevrano/new version")).success);
    const auto received = store.requests().at(0);
    QCOMPARE(received.target, std::string("/bucket-1/Tevrano%2Fnew%20version"));
    QCOMPARE(received.key, std::string("Tevrano/new version"));
    QVERIFY(received.problems.empty());
}

void ClientTest::disabledTransportEndsTheLoop()
{
    fakestore::FakeObjectStore store(kKeyId, kSecret);
    store.setHandler([](const fakestore::ReceivedRequest &, int) {
        Reply reply;
        reply.status = 503;
        return reply;
    });
    nubora::ObjectClient client(store.endpoint(), kKeyId, kSecret, nubora::TransportSettings());
    client.transport().disable();
    const nubora::FetchOutcome outcome
            = client.getObject(nubora::GetObjectRequest("bucket-1", "a"));
    QCOMPARE(outcome.error.code, std::string("ClientError:100002"));
    QCOMPARE(outcome.error.message, std::string("Disable all requests by upper."));
    QVERIFY(store.requests().size() <= 1);
}

QTEST_GUILESS_MAIN(ClientTest)
#include "tst_client.moc"
