#include <QtTest>

#include "curl_http_client.h"
#include "handle_pool.h"

class HandlePoolTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { curl_global_init(CURL_GLOBAL_ALL); }
    void cleanupTestCase() { curl_global_cleanup(); }
    void growth_data();
    void growth();
    void growsOnDemandUpToTheMaximum();
    void reusesTheLastReturnedHandle();
    void failsAtOnceWhenNoHandleCanBeMade();
    void keepsWhatCouldBeMade();
};

void HandlePoolTest::growth_data()
{
    QTest::addColumn<int>("created");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("added");
    QTest::newRow("empty pool of 16") << 0 << 16 << 2;
    QTest::newRow("two of 16") << 2 << 16 << 4;
    QTest::newRow("six of 16") << 6 << 16 << 10;
    QTest::newRow("full") << 16 << 16 << 0;
    QTest::newRow("pool of one") << 0 << 1 << 1;
    QTest::newRow("one of three") << 1 << 3 << 2;
}

void HandlePoolTest::growth()
{
    QFETCH(int, created);
    QFETCH(int, maximum);
    QFETCH(int, added);
    QCOMPARE(int(nubora::poolGrowth(size_t(created), size_t(maximum))), added);
}

void HandlePoolTest::growsOnDemandUpToTheMaximum()
{
    nubora::HandlePool pool(16, 5000, 10000);
    std::vector<nubora::EasyHandle> held;
    const int expectedCreated[] = {2, 2, 6, 6, 6, 6, 16};
    for (int expected : expectedCreated) {
        held.push_back(pool.acquire());
        QVERIFY(held.back());
        QCOMPARE(int(pool.createdCount()), expected);
    }
    for (auto &handle : held)
        pool.release(std::move(handle));
    QCOMPARE(int(pool.createdCount()), 16);
}

void HandlePoolTest::reusesTheLastReturnedHandle()
{
    nubora::HandlePool pool(16, 5000, 10000);
    nubora::EasyHandle first = pool.acquire();
    CURL *const raw = first.get();
    pool.release(std::move(first));
    nubora::EasyHandle again = pool.acquire();
    QCOMPARE(again.get(), raw);
    QCOMPARE(int(pool.createdCount()), 2);
    pool.release(std::move(again));
}

void HandlePoolTest::failsAtOnceWhenNoHandleCanBeMade()
{
    nubora::HandlePool pool(16, 5000, 10000, [] { return static_cast<CURL *>(nullptr); });
    QVERIFY(!pool.acquire());
    QCOMPARE(int(pool.createdCount()), 0);

    nubora::TransportSettings settings;
    nubora::CurlHttpClient client(settings, [] { return static_cast<CURL *>(nullptr); });
    nubora::HttpRequest request;
    request.setUrl("http://127.0.0.1:9/never-contacted");
    const auto response = client.makeRequest(request);
    QCOMPARE(response->statusCode(), 200000 + int(CURLE_FAILED_INIT));
    QVERIFY(QByteArray::fromStdString(response->statusText()).contains("no curl handle"));
}

void HandlePoolTest::keepsWhatCouldBeMade()
{
    int made = 0;
    nubora::HandlePool pool(16, 5000, 10000, [&made]() -> CURL * {
        if (made == 1)
            return nullptr;
        ++made;
        return curl_easy_init();
    });
    nubora::EasyHandle only = pool.acquire();
    QVERIFY(only);
    QCOMPARE(int(pool.createdCount()), 1);
    pool.release(std::move(only));
    QVERIFY(pool.acquire());
}

QTEST_GUILESS_MAIN(HandlePoolTest)
#include "tst_handle_pool.moc"
