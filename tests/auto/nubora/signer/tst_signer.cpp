#include <QtTest>

#include "signer.h"

using nubora::HeaderMap;
using nubora::HttpMethod;
using nubora::ParameterMap;

Q_DECLARE_METATYPE(nubora::HeaderMap)
Q_DECLARE_METATYPE(nubora::ParameterMap)

class SignerTest : public QObject
{
    Q_OBJECT

private slots:
    void canonicalString_data();
    void canonicalString();
    void resource_data();
    void resource();
    void signatureMatchesOpenssl_data();
    void signatureMatchesOpenssl();
    void emptyTextGivesEmptySignature();
};

void SignerTest::canonicalString_data()
{
    QTest::addColumn<HeaderMap>("headers");
    QTest::addColumn<ParameterMap>("parameters");
    QTest::addColumn<QString>("expected");

    const HeaderMap download = {{"Authorization", "ignored"},
                                {"Content-Length", "0"},
                                {"Content-Type", "application/xml"},
                                {"Date", "Mon, 07 Dec 2026 00:20:44 GMT"},
                                {"User-Agent", "nubora-cpp/1.7.0 (Windows)"}};
    QTest::newRow("library download")
            << download << ParameterMap{}
            << "GET\n\napplication/xml\nMon, 07 Dec 2026 00:20:44 GMT\n/ambrel/a b/version";

    HeaderMap withStoreHeaders = download;
    withStoreHeaders["Content-MD5"] = "md5==";
    withStoreHeaders["X-OSS-Meta-B "] = " two ";
    withStoreHeaders["x-oss-date"] = "Mon, 07 Dec 2026 00:20:44 GMT";
    withStoreHeaders["x-other"] = "not signed";
    QTest::newRow("store headers lower-cased, trimmed, sorted")
            << withStoreHeaders << ParameterMap{}
            << "GET\nmd5==\napplication/xml\nMon, 07 Dec 2026 00:20:44 GMT\n"
               "x-oss-date:Mon, 07 Dec 2026 00:20:44 GMT\nx-oss-meta-b:two\n/ambrel/a b/version";

    QTest::newRow("only signed parameters, in byte order")
            << download
            << ParameterMap{{"versionId", "v1"},
                            {"acl", ""},
                            {"max-keys", "5"},
                            {"response-expires", "x"}}
            << "GET\n\napplication/xml\nMon, 07 Dec 2026 00:20:44 GMT\n/ambrel/a b/version"
               "?acl&response-expires=x&versionId=v1";
}

void SignerTest::canonicalString()
{
    QFETCH(HeaderMap, headers);
    QFETCH(ParameterMap, parameters);
    QFETCH(QString, expected);
    const std::string text
            = nubora::canonicalString(HttpMethod::Get, headers, parameters, "/ambrel/a b/version");
    QCOMPARE(QString::fromStdString(text), expected);
}

void SignerTest::resource_data()
{
    QTest::addColumn<QString>("bucket");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    QTest::newRow("both") << "ambrel"
                          << "Morvane/ZARK/Custom/Tevrano/version"
                          << "/ambrel/Morvane/ZARK/Custom/Tevrano/version";
    QTest::newRow("blank not encoded") << "b-1"
                                       << "a b"
                                       << "/b-1/a b";
    QTest::newRow("no bucket") << ""
                               << "k"
                               << "/k";
    QTest::newRow("no key") << "b-1"
                            << ""
                            << "/b-1/";
}

void SignerTest::resource()
{
    QFETCH(QString, bucket);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(
                     nubora::canonicalResource(bucket.toStdString(), key.toStdString())),
             expected);
}

void SignerTest::signatureMatchesOpenssl_data()
{
    QTest::addColumn<QByteArray>("secret");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("download")
            << QByteArray("NuboraAccessKeySecretPlacehold")
            << QByteArray("GET\n\napplication/xml\nMon, 07 Dec 2026 00:20:44 GMT\n/ambrel/v");
    QTest::newRow("binary-looking secret")
            << QByteArray("0123456789abcdefghijABCDEFGHIJ") << QByteArray("x");
}

// The openssl tool computes the HMAC on its own; only Base64 is left to Qt.
void SignerTest::signatureMatchesOpenssl()
{
    QFETCH(QByteArray, secret);
    QFETCH(QByteArray, text);
    QProcess openssl;
    openssl.start("openssl", {"dgst", "-sha1", "-hmac", QString::fromLatin1(secret), "-binary"});
    QVERIFY2(openssl.waitForStarted(10000), "the openssl command is needed for this test");
    openssl.write(text);
    openssl.closeWriteChannel();
    QVERIFY(openssl.waitForFinished(30000));
    const QByteArray digest = openssl.readAllStandardOutput();
    QCOMPARE(digest.size(), 20);

    const std::string signature
            = nubora::HmacSha1Signer().sign(secret.toStdString(), text.toStdString());
    QCOMPARE(QByteArray::fromStdString(signature), digest.toBase64());
    QCOMPARE(signature.size(), size_t(28));
}

void SignerTest::emptyTextGivesEmptySignature()
{
    QVERIFY(nubora::HmacSha1Signer().sign("secret", "").empty());
}

QTEST_GUILESS_MAIN(SignerTest)
#include "tst_signer.moc"
