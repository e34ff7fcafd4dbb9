#include <QtTest>

#include "retry_strategy.h"

class RetryStrategyTest : public QObject
{
    Q_OBJECT

private slots:
    void mayRetry_data();
    void mayRetry();
    void delays();
};

void RetryStrategyTest::mayRetry_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("attempts");
    QTest::addColumn<bool>("expected");

    const QString skewed = "<Error><Code>RequestTimeTooSkewed</Code></Error>";
    QTest::newRow("skewed clock") << 403 << skewed << 0 << true;
    QTest::newRow("other 403") << 403 << "<Error><Code>SignatureDoesNotMatch</Code></Error>" << 0
                               << false;
    QTest::newRow("500") << 500 << "" << 0 << true;
    QTest::newRow("503") << 503 << "" << 2 << true;
    QTest::newRow("598") << 598 << "" << 0 << true;
    QTest::newRow("599") << 599 << "" << 0 << false;
    QTest::newRow("404") << 404 << "" << 0 << false;
    QTest::newRow("couldn't connect") << 200007 << "" << 0 << true;
    QTest::newRow("partial file") << 200018 << "" << 0 << true;
    QTest::newRow("write error") << 200023 << "" << 0 << true;
    QTest::newRow("timed out") << 200028 << "" << 0 << true;
    QTest::newRow("got nothing") << 200052 << "" << 0 << true;
    QTest::newRow("send error") << 200055 << "" << 0 << true;
    QTest::newRow("receive error") << 200056 << "" << 0 << true;
    QTest::newRow("couldn't resolve host") << 200006 << "" << 0 << false;
    QTest::newRow("CRC mismatch") << 100001 << "" << 0 << false;
    QTest::newRow("no response") << 0 << "" << 0 << false;
    QTest::newRow("503 after three retries") << 503 << "" << 3 << false;
    QTest::newRow("skewed after three retries") << 403 << skewed << 3 << false;
}

void RetryStrategyTest::mayRetry()
{
    QFETCH(int, status);
    QFETCH(QString, message);
    QFETCH(int, attempts);
    QFETCH(bool, expected);
    nubora::TransportError error;
    error.status = status;
    error.message = message.toStdString();
    QCOMPARE(nubora::DefaultRetryStrategy().mayRetry(error, attempts), expected);
}

void RetryStrategyTest::delays()
{
    const nubora::DefaultRetryStrategy strategy;
    const nubora::TransportError error{503, "ServerError:503", "", {}};
    QCOMPARE(strategy.delayMs(error, 0), 300L);
    QCOMPARE(strategy.delayMs(error, 1), 600L);
    QCOMPARE(strategy.delayMs(error, 2), 1200L);
    QCOMPARE(nubora::DefaultRetryStrategy(100, 5).delayMs(error, 4), 1600L);
    // A nonsense count stays bounded instead of shifting past the width.
    QVERIFY(strategy.delayMs(error, 1000) > 0);
}

QTEST_GUILESS_MAIN(RetryStrategyTest)
#include "tst_retry_strategy.moc"
