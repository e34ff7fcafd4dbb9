#include <QtTest>

#include "object_request.h"
#include "validation.h"

class ValidationTest : public QObject
{
    Q_OBJECT

private slots:
    void request_data();
    void request();
    void messages_data();
    void messages();
};

void ValidationTest::request_data()
{
    QTest::addColumn<QString>("bucket");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("expected");
    const QString key = "Morvane/ZARK/version";
    QTest::newRow("valid") << "ambrel" << key << int(nubora::kValidationOk);
    QTest::newRow("three characters") << "a-1" << key << int(nubora::kValidationOk);
    QTest::newRow("63 characters") << QString(63, 'b') << key << int(nubora::kValidationOk);
    QTest::newRow("empty bucket") << "" << key << int(nubora::kInvalidBucketName);
    QTest::newRow("two characters") << "ab" << key << int(nubora::kInvalidBucketName);
    QTest::newRow("64 characters") << QString(64, 'b') << key << int(nubora::kInvalidBucketName);
    QTest::newRow("upper case") << "Ambrel" << key << int(nubora::kInvalidBucketName);
    QTest::newRow("leading dash") << "-ambrel" << key << int(nubora::kInvalidBucketName);
    QTest::newRow("trailing dash") << "ambrel-" << key << int(nubora::kInvalidBucketName);
    QTest::newRow("underscore") << "amb_rel" << key << int(nubora::kInvalidBucketName);
    QTest::newRow("dot") << "amb.rel" << key << int(nubora::kInvalidBucketName);
    QTest::newRow("bad bucket wins over bad key") << "A"
                                                  << "" << int(nubora::kInvalidBucketName);
    QTest::newRow("empty key") << "ambrel"
                               << "" << int(nubora::kInvalidObjectKey);
    QTest::newRow("key with slash first") << "ambrel"
                                          << "/version" << int(nubora::kInvalidObjectKey);
    QTest::newRow("key with backslash first") << "ambrel"
                                              << "\\version" << int(nubora::kInvalidObjectKey);
    QTest::newRow("key of 1023 bytes")
            << "ambrel" << QString(1023, 'k') << int(nubora::kValidationOk);
    QTest::newRow("key of 1024 bytes")
            << "ambrel" << QString(1024, 'k') << int(nubora::kInvalidObjectKey);
}

void ValidationTest::request()
{
    QFETCH(QString, bucket);
    QFETCH(QString, key);
    QFETCH(int, expected);
    QCOMPARE(nubora::GetObjectRequest(bucket.toStdString(), key.toStdString()).validate(),
             expected);
}

void ValidationTest::messages_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("message");
    QTest::newRow("bucket")
            << 101001
            << "The bucket name is invalid. A bucket name must  be comprised of lower-case "
               "characters, numbers or dash(-) with 3-63 characters long.";
    QTest::newRow("key")
            << 101002
            << "The object key is invalid. An object name should be between 1-1023 bytes long and "
               "cannot begin with '/' or '\\'";
    QTest::newRow("below the range") << 100999 << "Model error, but undefined.";
    QTest::newRow("above the range") << 102000 << "Model error, but undefined.";
    QTest::newRow("unknown inside the range") << 101500 << "Model error, but undefined.";
}

void ValidationTest::messages()
{
    QFETCH(int, number);
    QFETCH(QString, message);
    QCOMPARE(QString::fromStdString(nubora::validationMessage(number)), message);
}

QTEST_GUILESS_MAIN(ValidationTest)
#include "tst_validation.moc"
