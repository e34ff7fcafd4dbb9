#include "registertable.h"
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
    void registerAnswers_data();
    void registerAnswers();
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

// One row per way of finding a register's value in an answer, and per rule that drops one.
void tst_Responses::registerAnswers_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("framing");
    QTest::addColumn<double>("value"); // NaN: no value
    const double none = std::nan("");
    QTest::newRow("emissivity") << 0x20 << hex("03B6B5") << 0 << 0.95;
    QTest::newRow("emissivity write") << 0xA0 << hex("03B6B5") << 0 << 0.95;
    QTest::newRow("crc high alarm") << 0x21 << crcAnswer("00210004E5") << 1 << 25.3;
    QTest::newRow("average time") << 0x48 << hex("001212") << 0 << 1.8;
    QTest::newRow("backlight read") << 0x54 << hex("0101") << 0 << 1.0;
    QTest::newRow("backlight read 2") << 0x54 << hex("0202") << 0 << none;
    QTest::newRow("backlight write") << 0xD4 << hex("0505") << 0 << 1.0;
    QTest::newRow("crc backlight write") << 0xD4 << crcAnswer("00D4000005") << 1 << none;
    QTest::newRow("laser 2 is off") << 0x55 << hex("0202") << 0 << 0.0;
    QTest::newRow("crc laser byte 4") << 0x55 << crcAnswer("0055000001") << 1 << 1.0;
    QTest::newRow("alarm switch FF") << 0x56 << hex("FFFF") << 0 << none;
    QTest::newRow("hold mode 4") << 0x47 << hex("0404") << 0 << none;
    QTest::newRow("hold mode write") << 0xC7 << hex("0202") << 0 << 2.0;
    QTest::newRow("crc range mode") << 0x68 << crcAnswer("0068000005") << 1 << 1.0;
    QTest::newRow("relay") << 0x8B << hex("000101") << 0 << 1.0;
    QTest::newRow("crc relay") << 0x8B << crcAnswer("008B000001") << 1 << none;
    QTest::newRow("serial number") << 0x12 << hex("0135287746") << 0 << 20260983.0;
    QTest::newRow("unit write tells nothing") << 0xD3 << hex("0101") << 0 << none;
}

void tst_Responses::registerAnswers()
{
    QFETCH(int, code);
    QFETCH(QByteArray, data);
    QFETCH(int, framing);
    QFETCH(double, value);
    const RegisterTable::Register *reg = RegisterTable::byCode(uchar(code));
    QVERIFY(reg);
    const std::optional<double> decoded = RegisterTable::decode(*reg, uchar(code), data, framing);
    QCOMPARE(decoded.has_value(), !std::isnan(value));
    if (decoded)
        QCOMPARE(*decoded, value);
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
