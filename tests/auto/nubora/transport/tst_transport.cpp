#include <QtTest>

#include <fstream>
#include <sstream>

#include <lzma.h>

#include "curl_http_client.h"
#include "fake_object_store.h"

using fakestore::Reply;

namespace {

struct Transfer
{
    std::shared_ptr<nubora::HttpResponse> response;
    int streamsMade = 0;
    std::shared_ptr<std::stringstream> stream; // the last one made
    std::vector<std::int64_t> totals;
    std::int64_t progressSum = 0;
    std::uint64_t crc64 = 0;
    std::int64_t transferred = 0;
};

} // namespace

class TransportTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { curl_global_init(CURL_GLOBAL_ALL); }
    void cleanupTestCase() { curl_global_cleanup(); }
    void successBodyGoesToTheStream();
    void errorBodyStaysInMemory();
    void headerLines();
    void withoutContentLengthTheTotalIsZero();
    void stallTimesOutAndRewinds();
    void lyingContentLength();
    void hugeErrorBodyIsCapped();
    void hugeHeaderFails();
    void malformedAnswers_data();
    void malformedAnswers();
    void writeErrorCauses_data();
    void writeErrorCauses();
    void refusedConnection();
    void tlsPeerIsVerifiedByDefault_data();
    void tlsPeerIsVerifiedByDefault();

private:
    Transfer get(fakestore::FakeObjectStore &store, const Reply &reply, long stallWindowMs = 5000);
};

Transfer
TransportTest::get(fakestore::FakeObjectStore &store, const Reply &reply, long stallWindowMs)
{
    store.setVerifying(false);
    store.setHandler([reply](const fakestore::ReceivedRequest &, int) { return reply; });
    nubora::TransportSettings settings;
    settings.stallWindowMs = stallWindowMs;
    nubora::CurlHttpClient client(settings);

    Transfer transfer;
    nubora::HttpRequest request;
    request.setUrl(store.endpoint() + "/bucket/key");
    request.setHeader("Content-Length", "0");
    request.setCrc64CheckEnabled(true);
    request.setResponseStreamFactory([&transfer] {
        ++transfer.streamsMade;
        transfer.stream = std::make_shared<std::stringstream>();
        return transfer.stream;
    });
    request.setProgressHandler(
            [&transfer](std::uint64_t block, std::int64_t soFar, std::int64_t total) {
                transfer.progressSum += std::int64_t(block);
                QCOMPARE(soFar, transfer.progressSum);
                transfer.totals.push_back(total);
            });
    transfer.response = client.makeRequest(request);
    transfer.crc64 = request.transferredCrc64();
    transfer.transferred = request.transferredBytes();
    return transfer;
}

void TransportTest::successBodyGoesToTheStream()
{
    fakestore::FakeObjectStore store("id", "secret");
    Reply reply;
    reply.generatedLength = 3 << 20;
    reply.headers = {{"x-oss-request-id", "rid-1"}};
    const Transfer transfer = get(store, reply);

    QCOMPARE(transfer.response->statusCode(), 200);
    QCOMPARE(transfer.streamsMade, 1);
    QCOMPARE(transfer.response->body(), std::static_pointer_cast<std::iostream>(transfer.stream));
    QVERIFY(transfer.stream->str() == fakestore::patternBody(3 << 20));
    QCOMPARE(transfer.crc64, fakestore::patternCrc64(3 << 20));
    QCOMPARE(transfer.transferred, std::int64_t(3 << 20));
    QCOMPARE(transfer.progressSum, std::int64_t(3 << 20));
    QCOMPARE(transfer.totals.back(), std::int64_t(3 << 20));
    QCOMPARE(transfer.response->header("X-OSS-REQUEST-ID"), std::string("rid-1"));
}

void TransportTest::errorBodyStaysInMemory()
{
    fakestore::FakeObjectStore store("id", "secret");
    Reply reply;
    reply.status = 404;
    reply.body = fakestore::errorDocument("NoSuchKey", "missing", "rid-404");
    const Transfer transfer = get(store, reply);

    QCOMPARE(transfer.response->statusCode(), 404);
    QCOMPARE(transfer.streamsMade, 0);
    std::ostringstream body;
    body << transfer.response->body()->rdbuf();
    QCOMPARE(body.str(), reply.body);
}

void TransportTest::headerLines()
{
    fakestore::FakeObjectStore store("id", "secret");
    Reply reply;
    reply.raw = "HTTP/1.1 200 OK\r\nX-Tight:1234\r\nX-Loose:    1234\r\n"
                "X-Repeated: first\r\nx-repeated: last\r\nContent-Length: 2\r\nConnection: "
                "close\r\n\r\nok";
    const Transfer transfer = get(store, reply);

    QCOMPARE(transfer.response->statusCode(), 200);
    QCOMPARE(transfer.response->header("x-tight"), std::string("1234"));
    QCOMPARE(transfer.response->header("x-loose"), std::string("1234"));
    QCOMPARE(transfer.response->header("X-Repeated"), std::string("last"));
    QCOMPARE(transfer.stream->str(), std::string("ok"));
}

void TransportTest::withoutContentLengthTheTotalIsZero()
{
    fakestore::FakeObjectStore store("id", "secret");
    Reply reply;
    reply.body = std::string(100000, 'z');
    reply.sendContentLength = false;
    const Transfer transfer = get(store, reply);

    QCOMPARE(transfer.response->statusCode(), 200);
    QVERIFY(!transfer.totals.empty());
    for (std::int64_t total : transfer.totals)
        QCOMPARE(total, std::int64_t(0));
    QCOMPARE(transfer.progressSum, std::int64_t(100000));
}

void TransportTest::stallTimesOutAndRewinds()
{
    fakestore::FakeObjectStore store("id", "secret");
    Reply reply;
    reply.generatedLength = 1 << 20;
    reply.stallAfterBytes = 300000;
    reply.stallFor = std::chrono::seconds(30);
    QElapsedTimer timer;
    timer.start();
    const Transfer transfer = get(store, reply, 1000);

    QCOMPARE(transfer.response->statusCode(), 200000 + int(CURLE_OPERATION_TIMEDOUT));
    QCOMPARE(transfer.response->statusText(),
             std::string(curl_easy_strerror(CURLE_OPERATION_TIMEDOUT)));
    QVERIFY(transfer.stream->good());
    QCOMPARE(std::int64_t(transfer.stream->tellp()), std::int64_t(0));
    QVERIFY(transfer.progressSum >= 300000);
    QVERIFY2(timer.elapsed() < 25000, "the stall window, not the server, ended the transfer");
}

void TransportTest::lyingContentLength()
{
    fakestore::FakeObjectStore store("id", "secret");
    Reply reply;
    reply.body = "short body";
    reply.announcedLength = 1 << 20;
    const Transfer transfer = get(store, reply);
    QCOMPARE(transfer.response->statusCode(), 200000 + int(CURLE_PARTIAL_FILE));
    QCOMPARE(std::int64_t(transfer.stream->tellp()), std::int64_t(0));
}

void TransportTest::hugeErrorBodyIsCapped()
{
    fakestore::FakeObjectStore store("id", "secret");
    Reply reply;
    reply.status = 404;
    reply.generatedLength = 5 * nubora::kErrorBodyLimit;
    const Transfer transfer = get(store, reply);
    QCOMPARE(transfer.response->statusCode(), 404);
    std::ostringstream body;
    body << transfer.response->body()->rdbuf();
    QCOMPARE(std::int64_t(body.str().size()), nubora::kErrorBodyLimit);
    // The transfer ends there instead of reading the rest.
    QCOMPARE(transfer.transferred, nubora::kErrorBodyLimit);
}

void TransportTest::hugeHeaderFails()
{
    fakestore::FakeObjectStore store("id", "secret");
    Reply reply;
    reply.headers = {{"X-Huge", std::string(1 << 20, 'h')}};
    reply.body = "x";
    const Transfer transfer = get(store, reply);
    QVERIFY(transfer.response->statusCode() > 200000);
    QCOMPARE(transfer.streamsMade, 0);
}

void TransportTest::malformedAnswers_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<int>("curlCode");
    QTest::newRow("header line without colon")
            << QByteArray("HTTP/1.1 200 OK\r\nline without colon\r\nContent-Length: 2\r\n\r\nok")
            << int(CURLE_WEIRD_SERVER_REPLY);
    // Without a status line the answer would be HTTP/0.9, which libcurl refuses.
    QTest::newRow("not HTTP") << QByteArray("SSH-2.0-OpenSSH\r\n\r\n")
                              << int(CURLE_UNSUPPORTED_PROTOCOL);
    QTest::newRow("a blank") << QByteArray(" ") << int(CURLE_UNSUPPORTED_PROTOCOL);
}

void TransportTest::malformedAnswers()
{
    QFETCH(QByteArray, raw);
    QFETCH(int, curlCode);
    fakestore::FakeObjectStore store("id", "secret");
    Reply reply;
    reply.raw = raw.toStdString();
    const Transfer transfer = get(store, reply);
    QCOMPARE(transfer.response->statusCode(), 200000 + curlCode);
    QCOMPARE(transfer.streamsMade, 0);
    QVERIFY(transfer.response->body());
}

void TransportTest::writeErrorCauses_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("cause");
    QTest::newRow("no stream") << ""
                               << ". Caused by content is null.";
    QTest::newRow("file in a missing directory")
            << "missing/dir/file"
            << ". Caused by content is in fail state(Logical error on i/o operation).";
}

void TransportTest::writeErrorCauses()
{
    QFETCH(QString, target);
    QFETCH(QString, cause);
    QTemporaryDir directory;
    fakestore::FakeObjectStore store("id", "secret");
    store.setVerifying(false);
    Reply reply;
    reply.body = "content";
    store.setHandler([reply](const fakestore::ReceivedRequest &, int) { return reply; });

    nubora::CurlHttpClient client{nubora::TransportSettings()};
    nubora::HttpRequest request;
    request.setUrl(store.endpoint() + "/bucket/key");
    const std::string path
            = target.isEmpty() ? std::string() : directory.filePath(target).toStdString();
    request.setResponseStreamFactory([path]() -> nubora::BodyStream {
        if (path.empty())
            return nullptr;
        return std::make_shared<std::fstream>(
                path, std::ios::in | std::ios::out | std::ios::binary | std::ios::trunc);
    });
    const auto response = client.makeRequest(request);
    QCOMPARE(response->statusCode(), 200000 + int(CURLE_WRITE_ERROR));
    QCOMPARE(QString::fromStdString(response->statusText()),
             QString::fromLatin1(curl_easy_strerror(CURLE_WRITE_ERROR)) + cause);
}

void TransportTest::refusedConnection()
{
    quint16 closedPort;
    {
        fakestore::FakeObjectStore store("id", "secret");
        closedPort = store.port();
    }
    nubora::CurlHttpClient client{nubora::TransportSettings()};
    nubora::HttpRequest request;
    request.setUrl("http://127.0.0.1:" + std::to_string(closedPort) + "/bucket/key");
    const auto response = client.makeRequest(request);
    QCOMPARE(response->statusCode(), 200000 + int(CURLE_COULDNT_CONNECT));
    QVERIFY(response->body());
}

void TransportTest::tlsPeerIsVerifiedByDefault_data()
{
    QTest::addColumn<bool>("verify");
    QTest::addColumn<int>("status");
    QTest::newRow("default settings refuse a self-signed server")
            << nubora::TransportSettings().verifyTls
            << 200000 + int(CURLE_PEER_FAILED_VERIFICATION);
    QTest::newRow("verification switched off") << false << 200;
}

// A loopback TLS server with a throw-away self-signed certificate, run by the
// openssl tool.
void TransportTest::tlsPeerIsVerifiedByDefault()
{
    QFETCH(bool, verify);
    QFETCH(int, status);
    QTemporaryDir directory;
    QProcess makeCertificate;
    makeCertificate.start("openssl",
                          {"req",
                           "-x509",
                           "-newkey",
                           "rsa:2048",
                           "-nodes",
                           "-days",
                           "1",
                           "-subj",
                           "/CN=127.0.0.1",
                           "-keyout",
                           directory.filePath("key.pem"),
                           "-out",
                           directory.filePath("cert.pem")});
    QVERIFY2(makeCertificate.waitForFinished(60000) && makeCertificate.exitCode() == 0,
             "the openssl command is needed");

    QProcess server;
    server.setProcessChannelMode(QProcess::MergedChannels);
    server.start("openssl",
                 {"s_server",
                  "-accept",
                  "127.0.0.1:0",
                  "-naccept",
                  "1",
                  "-www",
                  "-cert",
                  directory.filePath("cert.pem"),
                  "-key",
                  directory.filePath("key.pem")});
    QByteArray banner;
    const QRegularExpression acceptLine("ACCEPT 127\\.0\\.0\\.1:(\\d+)");
    QRegularExpressionMatch match;
    QElapsedTimer waited;
    waited.start();
    while (!match.hasMatch() && waited.elapsed() < 30000) {
        server.waitForReadyRead(500);
        banner += server.readAll();
        match = acceptLine.match(QString::fromLatin1(banner));
    }
    QVERIFY2(match.hasMatch(), banner.constData());

    nubora::TransportSettings settings;
    settings.verifyTls = verify;
    // A loaded machine may keep the openssl tool from answering for seconds: only a refusal
    // may end this request, never the stall or connect limits.
    settings.stallWindowMs = 120000;
    settings.connectTimeoutMs = 120000;
    settings.requestTimeoutMs = 240000;
    nubora::CurlHttpClient client(settings);
    nubora::HttpRequest request;
    request.setUrl("https://127.0.0.1:" + match.captured(1).toStdString() + "/");
    QCOMPARE(client.makeRequest(request)->statusCode(), status);
    server.kill();
    server.waitForFinished(10000);
}

QTEST_GUILESS_MAIN(TransportTest)
#include "tst_transport.moc"
