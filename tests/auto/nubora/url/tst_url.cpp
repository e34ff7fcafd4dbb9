#include <QtTest>

#include "url.h"

class UrlTest : public QObject
{
    Q_OBJECT

private slots:
    void encode_data();
    void encode();
    void locate_data();
    void locate();
    void query();
};

void UrlTest::encode_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("blank") << QByteArray("a b") << QByteArray("a%20b");
    QTest::newRow("slash") << QByteArray("Morvane/ZARK/version")
                           << QByteArray("Morvane%2FZARK%2Fversion");
    QTest::newRow("unreserved stay") << QByteArray("AZaz09-_.~") << QByteArray("AZaz09-_.~");
    QTest::newRow("plus, star, percent") << QByteArray("+*%") << QByteArray("%2B%2A%25");
    QTest::newRow("utf-8 bytes") << QByteArray("\xC3\xA9") << QByteArray("%C3%A9");
    QTest::newRow("control byte") << QByteArray("\x01", 1) << QByteArray("%01");
}

void UrlTest::encode()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    QCOMPARE(QByteArray::fromStdString(nubora::urlEncode(input.toStdString())), expected);
}

void UrlTest::locate_data()
{
    QTest::addColumn<QString>("endpoint");
    QTest::addColumn<QString>("bucket");
    QTest::addColumn<bool>("customDomain");
    QTest::addColumn<QString>("url");

    QTest::newRow("virtual host")
            << "http://oss-region-1.example.com"
            << "ambrel" << false << "http://ambrel.oss-region-1.example.com/Morvane%2FZARK%2Fa%20b";
    QTest::newRow("https kept") << "https://oss-region-1.example.com"
                                << "ambrel" << false
                                << "https://ambrel.oss-region-1.example.com/Morvane%2FZARK%2Fa%20b";
    QTest::newRow("no scheme uses the default")
            << "oss-region-1.example.com"
            << "ambrel" << false << "http://ambrel.oss-region-1.example.com/Morvane%2FZARK%2Fa%20b";
    QTest::newRow("port kept on a virtual host")
            << "http://store.example.com:9000"
            << "ambrel" << false << "http://ambrel.store.example.com:9000/Morvane%2FZARK%2Fa%20b";
    QTest::newRow("IPv4 path style with port")
            << "http://127.0.0.1:8080"
            << "ambrel" << false << "http://127.0.0.1:8080/ambrel/Morvane%2FZARK%2Fa%20b";
    QTest::newRow("IPv4 without port")
            << "http://10.0.0.255"
            << "ambrel" << false << "http://10.0.0.255/ambrel/Morvane%2FZARK%2Fa%20b";
    QTest::newRow("not an IPv4 address (256)")
            << "http://256.1.1.1"
            << "ambrel" << false << "http://ambrel.256.1.1.1/Morvane%2FZARK%2Fa%20b";
    QTest::newRow("not an IPv4 address (three parts)")
            << "http://1.2.3"
            << "ambrel" << false << "http://ambrel.1.2.3/Morvane%2FZARK%2Fa%20b";
    QTest::newRow("custom domain keeps the host")
            << "http://files.example.com"
            << "ambrel" << true << "http://files.example.com/Morvane%2FZARK%2Fa%20b";
    QTest::newRow("empty bucket") << "http://oss-region-1.example.com"
                                  << "" << false
                                  << "http://oss-region-1.example.com/Morvane%2FZARK%2Fa%20b";
    QTest::newRow("endpoint path dropped")
            << "http://oss-region-1.example.com/ignored"
            << "ambrel" << false << "http://ambrel.oss-region-1.example.com/Morvane%2FZARK%2Fa%20b";
}

void UrlTest::locate()
{
    QFETCH(QString, endpoint);
    QFETCH(QString, bucket);
    QFETCH(bool, customDomain);
    QFETCH(QString, url);
    const auto location
            = nubora::locateObject(nubora::parseEndpoint(endpoint.toStdString(), "http"),
                                   bucket.toStdString(),
                                   "Morvane/ZARK/a b",
                                   {},
                                   customDomain);
    QCOMPARE(QString::fromStdString(location.url()), url);
}

void UrlTest::query()
{
    const auto location = nubora::locateObject(nubora::parseEndpoint("http://127.0.0.1:80", "http"),
                                               "b-1",
                                               "k",
                                               {{"versionId", "a b"}, {"acl", ""}, {"x/y", "1"}},
                                               false);
    QCOMPARE(QString::fromStdString(location.url()),
             QString("http://127.0.0.1:80/b-1/k?acl&versionId=a%20b&x%2Fy=1"));
}

QTEST_GUILESS_MAIN(UrlTest)
#include "tst_url.moc"
