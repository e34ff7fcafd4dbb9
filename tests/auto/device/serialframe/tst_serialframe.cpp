#include "serialframe.h"
#include "simprotocol.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace SerialFrame;

class tst_SerialFrame : public QObject
{
    Q_OBJECT
private slots:
    void crcCheckValues_data();
    void crcCheckValues();
    void crcAgreesWithTableDriven();
    void xorRequests_data();
    void xorRequests();
    void crcRequests_data();
    void crcRequests();
    void answerValidity_data();
    void answerValidity();
    void randomAnswersNeverReadOutOfBounds();
};

void tst_SerialFrame::crcCheckValues_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("crc");
    QTest::newRow("check string") << QByteArray("123456789") << 0x4B37;
    QTest::newRow("read of code 0x01") << QByteArray::fromHex("000100000000") << 0xDB3D;
    QTest::newRow("read of code 0x17") << QByteArray::fromHex("001700000000") << 0x1874;
    QTest::newRow("nothing") << QByteArray() << 0xFFFF;
}

void tst_SerialFrame::crcCheckValues()
{
    QFETCH(QByteArray, input);
    QFETCH(int, crc);
    QCOMPARE(int(crc16(input)), crc);
}

// The simulator carries a table-driven CRC of its own; two independent implementations must
// agree on anything.
void tst_SerialFrame::crcAgreesWithTableDriven()
{
    QRandomGenerator random(1234);
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes(int(random.bounded(64)), '\0');
        for (char &c : bytes)
            c = char(random.bounded(256));
        QCOMPARE(crc16(bytes), SimProtocol::modbusCrc(bytes));
    }
}

void tst_SerialFrame::xorRequests_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("poll is the code twice") << 0x01 << QByteArray() << QByteArray::fromHex("0101");
    QTest::newRow("emissivity 0.95")
            << 0xA0 << QByteArray::fromHex("03B6") << QByteArray::fromHex("A003B615");
    QTest::newRow("write enable") << 0xFD << QByteArray::fromHex("01")
                                  << QByteArray::fromHex("FD01FC");
    QTest::newRow("wake is six zeros") << 0x00 << QByteArray(4, '\0') << QByteArray(6, '\0');
}

void tst_SerialFrame::xorRequests()
{
    QFETCH(int, code);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, frame);
    QCOMPARE(xorRequest(uchar(code), data), frame);
}

void tst_SerialFrame::crcRequests_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("read 0x17") << crcReadRequest(0x17) << QByteArray::fromHex("0017000000007418");
    QTest::newRow("read 0x01") << crcReadRequest(0x01) << QByteArray::fromHex("000100000000 3DDB");
    QByteArray oneByte = QByteArray::fromHex("00D30202 0002");
    QTest::newRow("one data byte at 5")
            << crcWriteRequest(0xD3, QByteArray::fromHex("02")) << withCrc(oneByte);
    QTest::newRow("two data bytes at 4 and 5") << crcWriteRequest(0xA0, QByteArray::fromHex("03B6"))
                                               << withCrc(QByteArray::fromHex("00A00303 03B6"));
    QTest::newRow("unusual length leaves 4 and 5 out")
            << crcWriteRequest(0x85, QByteArray::fromHex("000102"))
            << withCrc(QByteArray::fromHex("00850000"));
    QTest::newRow("no data never reads past it")
            << crcWriteRequest(0x85, QByteArray()) << withCrc(QByteArray::fromHex("00850000"));
}

void tst_SerialFrame::crcRequests()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, expected);
    QCOMPARE(frame.toHex(' '), expected.toHex(' '));
    QVERIFY(isValidCrcAnswer(frame, 6) || frame.size() < 6);
}

void tst_SerialFrame::answerValidity_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("complete");
    const int poll = int(Transaction::Poll), param = int(Transaction::XorParameter),
              crc = int(Transaction::Crc);
    QTest::newRow("poll 03 F2 F1") << poll << 0x01 << QByteArray::fromHex("03F2F1") << true;
    QTest::newRow("poll wrong checksum") << poll << 0x01 << QByteArray::fromHex("03F2F0") << false;
    QTest::newRow("one XOR byte is never an answer")
            << poll << 0x01 << QByteArray::fromHex("00") << false;
    QTest::newRow("empty") << poll << 0x01 << QByteArray() << false;
    QTest::newRow("prefix passing the checksum ends a read")
            << param << 0x20 << QByteArray::fromHex("0303") << true;
    QTest::newRow("mask needs five bytes") << param << 0x40 << QByteArray::fromHex("1414") << false;
    QTest::newRow("mask of five bytes")
            << param << 0x40 << QByteArray::fromHex("144E01F6AD") << true;
    QTest::newRow("serial number of six bytes")
            << param << 0x12 << QByteArray::fromHex("0000000000 00") << false;
    QTest::newRow("CRC answer of seven bytes")
            << crc << 0x17 << SerialFrame::withCrc(QByteArray::fromHex("00170201 01")) << true;
    QTest::newRow("CRC answer of five bytes never ends a transaction")
            << crc << 0x17 << SerialFrame::withCrc(QByteArray::fromHex("001701")) << false;
    QTest::newRow("CRC corrupted") << crc << 0x17 << QByteArray::fromHex("00170201017418") << false;
}

void tst_SerialFrame::answerValidity()
{
    QFETCH(int, kind);
    QFETCH(int, code);
    QFETCH(QByteArray, answer);
    QFETCH(bool, complete);
    QCOMPARE(isCompleteAnswer(Transaction(kind), uchar(code), answer), complete);
}

// The probe accepts three-byte CRC answers; shorter ones and noise must be refused without
// touching memory outside the buffer (AddressSanitizer watches).
void tst_SerialFrame::randomAnswersNeverReadOutOfBounds()
{
    QRandomGenerator random(99);
    int accepted = 0;
    for (int round = 0; round < 100000; ++round) {
        QByteArray bytes(int(random.bounded(12)), '\0');
        for (char &c : bytes)
            c = char(random.bounded(256));
        const uchar code = uchar(random.bounded(256));
        for (Transaction kind :
             {Transaction::Poll, Transaction::XorParameter, Transaction::Wake, Transaction::Crc})
            accepted += isCompleteAnswer(kind, code, bytes);
        accepted += isValidCrcAnswer(bytes, 3);
        if (bytes.size() < 2)
            QVERIFY(!isValidXorAnswer(bytes));
    }
    QVERIFY(accepted > 0); // the checks do accept some noise; they just never crash on it
}

QTEST_APPLESS_MAIN(tst_SerialFrame)
#include "tst_serialframe.moc"
