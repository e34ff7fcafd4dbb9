#include "pollthread.h"
#include "responses.h"
#include "serialframe.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace Responses;

namespace {
QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}
QByteArray crcAnswer(const char *body)
{
    return SerialFrame::withCrc(hex(body));
}
} // namespace

class tst_Responses : public QObject
{
    Q_OBJECT
private slots:
    void temperatures_data();
    void temperatures();
    void identities_data();
    void identities();
    void serialNumbers_data();
    void serialNumbers();
    void registerEncoding_data();
    void registerEncoding();
    void pollCodeFollowsModel();
    void randomAnswersAreSafe();
};

void tst_Responses::temperatures_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("framing");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<float>("celsius");
    QTest::newRow("xor 03 F2 F1") << hex("03F2F1") << 0 << true << 1.0f;
    QTest::newRow("xor lowest") << hex("000101") << 0 << true << -99.9f;
    QTest::newRow("xor highest") << hex("FFFF00") << 0 << true << 6453.5f;
    QTest::newRow("xor all zero is noise") << hex("000000") << 0 << false << 0.0f;
    QTest::newRow("xor too short") << hex("0303") << 0 << false << 0.0f;
    QTest::newRow("xor too long") << hex("03F2F100") << 0 << false << 0.0f;
    QTest::newRow("crc offsets 3 and 4") << crcAnswer("00010203F2") << 1 << true << 1.0f;
    QTest::newRow("crc zero is a reading") << crcAnswer("0001020000") << 1 << true << -100.0f;
    QTest::newRow("crc too short") << hex("000102") << 1 << false << 0.0f;
}

void tst_Responses::temperatures()
{
    QFETCH(QByteArray, data);
    QFETCH(int, framing);
    QFETCH(bool, valid);
    QFETCH(float, celsius);
    const std::optional<float> object = objectTemperature(data, framing);
    QCOMPARE(object.has_value(), valid);
    if (valid)
        QCOMPARE(*object, celsius);
}

void tst_Responses::identities_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("framing");
    QTest::addColumn<int>("model"); // -1: no identity
    QTest::addColumn<bool>("writeEnable");
    QTest::newRow("16-bit model") << hex("060107") << 0 << 0x0601 << true;
    QTest::newRow("8-bit model") << hex("1212") << 0 << 0x12 << false;
    QTest::newRow("other length") << hex("01020304") << 0 << -1 << true;
    QTest::newRow("crc") << crcAnswer("0017020602") << 1 << 0x0602 << true;
    QTest::newRow("crc short") << hex("0017") << 1 << -1 << true;
}

void tst_Responses::identities()
{
    QFETCH(QByteArray, data);
    QFETCH(int, framing);
    QFETCH(int, model);
    QFETCH(bool, writeEnable);
    const std::optional<Identity> got = identity(data, framing);
    QCOMPARE(got.has_value(), model >= 0);
    if (got) {
        QCOMPARE(int(got->model), model);
        QCOMPARE(got->writeEnableRequired, writeEnable);
    }
}

void tst_Responses::serialNumbers_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("framing");
    QTest::addColumn<qlonglong>("number"); // -1: ignored
    QTest::newRow("xor four bytes") << hex("0134 5F37 59") << 0 << qlonglong(0x01345F37);
    QTest::newRow("xor one byte") << hex("0707") << 0 << qlonglong(7);
    QTest::newRow("xor nothing") << hex("07") << 0 << qlonglong(-1);
    QTest::newRow("crc four bytes") << crcAnswer("0012040134 5F37") << 1 << qlonglong(0x01345F37);
    QTest::newRow("crc shorter than seven") << hex("001204013400") << 1 << qlonglong(-1);
}

void tst_Responses::serialNumbers()
{
    QFETCH(QByteArray, data);
    QFETCH(int, framing);
    QFETCH(qlonglong, number);
    const std::optional<quint32> got = serialNumber(data, framing);
    QCOMPARE(got.has_value(), number >= 0);
    if (got)
        QCOMPARE(qlonglong(*got), number);
}

void tst_Responses::registerEncoding_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("factor");
    QTest::addColumn<double>("offset");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("emissivity 0.95") << 0.95 << 1000.0 << 0.0 << hex("03B6");
    QTest::newRow("high alarm 25.3") << 25.3 << 10.0 << 1000.0 << hex("04E5");
    QTest::newRow("10000 wraps") << 10000.0 << 10.0 << 1000.0 << hex("8A88");
    QTest::newRow("-50 degrees") << -50.0 << 10.0 << 1000.0 << hex("01F4");
    QTest::newRow("truncated toward zero") << 0.15 << 10.0 << 0.0 << hex("0001");
    QTest::newRow("hold time 600 s") << 600.0 << 10.0 << 0.0 << hex("1770");
}

void tst_Responses::registerEncoding()
{
    QFETCH(double, value);
    QFETCH(double, factor);
    QFETCH(double, offset);
    QFETCH(QByteArray, bytes);
    QCOMPARE(registerBytes(value, factor, offset).toHex(' '), bytes.toHex(' '));
}

void tst_Responses::pollCodeFollowsModel()
{
    QCOMPARE(int(objectTemperatureCode(0x0601)), 0x08);
    QCOMPARE(int(objectTemperatureCode(0x0602)), 0x08);
    QCOMPARE(int(objectTemperatureCode(0x0603)), 0x01);
    QCOMPARE(int(objectTemperatureCode(0)), 0x01);
}

void tst_Responses::randomAnswersAreSafe()
{
    QRandomGenerator random(42);
    int decoded = 0;
    for (int round = 0; round < 100000; ++round) {
        QByteArray data(int(random.bounded(12)), '\0');
        for (char &c : data)
            c = char(random.bounded(256));
        const int framing = int(random.bounded(2));
        decoded += objectTemperature(data, framing).has_value()
                   + temperature(data, framing).has_value() + identity(data, framing).has_value()
                   + serialNumber(data, framing).has_value();
    }
    QVERIFY(decoded > 0);
}

QTEST_APPLESS_MAIN(tst_Responses)
#include "tst_responses.moc"
