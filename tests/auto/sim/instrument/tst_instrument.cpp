// The simulator's own logic: cutting requests out of a byte stream and answering them.
// The program's tests lean on it, so a fault here would hide faults there.
#include "instrumentstate.h"
#include "simprotocol.h"

#include <QtTest>

using SimProtocol::Framing;
using SimProtocol::Request;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

QList<QByteArray> rawFrames(const QList<Request> &requests)
{
    QList<QByteArray> frames;
    for (const Request &r : requests)
        frames.append(r.raw);
    return frames;
}

std::optional<QByteArray> ask(InstrumentState &state, uchar code, const QByteArray &data = {})
{
    return state.answer({code, data, {}}, 0.0);
}

} // namespace

class tst_Instrument : public QObject
{
    Q_OBJECT
private slots:
    void parsing_data();
    void parsing();
    void stalePartialIsDropped();
    void answerFraming_data();
    void answerFraming();
    void writesAndProtection();
    void factoryResetKeepsIdentity();
    void identityWidths();
};

void tst_Instrument::parsing_data()
{
    QTest::addColumn<bool>("crc");
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QList<QByteArray>>("frames");
    QTest::addColumn<QByteArray>("discarded");
    QTest::newRow("poll") << false << hex("0101") << QList<QByteArray>{hex("0101")} << QByteArray();
    QTest::newRow("wake zeros are filler") << false << hex("000000000000 0202")
                                           << QList<QByteArray>{hex("0202")} << hex("000000000000");
    QTest::newRow("write with data")
            << false << hex("FD01FC A003B615") << QList<QByteArray>{hex("FD01FC"), hex("A003B615")}
            << QByteArray();
    QTest::newRow("resynchronises after a bad checksum")
            << false << hex("2021 0101") << QList<QByteArray>{hex("0101")} << hex("2021");
    QTest::newRow("xor instrument ignores crc probe")
            << false << hex("000100000000 3DDB") << QList<QByteArray>{} << hex("000100000000 3DDB");
    QTest::newRow("crc read") << true << hex("0017000000007418")
                              << QList<QByteArray>{hex("0017000000007418")} << QByteArray();
    QTest::newRow("crc after xor noise")
            << true << hex("0101 000100000000 3DDB") << QList<QByteArray>{hex("0001000000003DDB")}
            << hex("0101");
}

void tst_Instrument::parsing()
{
    QFETCH(bool, crc);
    QFETCH(QByteArray, stream);
    QFETCH(QList<QByteArray>, frames);
    QFETCH(QByteArray, discarded);
    // Byte by byte and all at once must cut the same frames.
    for (bool byteByByte : {false, true}) {
        SimProtocol::RequestParser parser(crc ? Framing::Crc : Framing::Xor);
        QList<Request> requests;
        QByteArray dropped;
        if (byteByByte) {
            for (char c : stream)
                requests += parser.feed(QByteArray(1, c), &dropped);
        } else {
            requests = parser.feed(stream, &dropped);
        }
        parser.dropPartial(&dropped);
        QCOMPARE(rawFrames(requests), frames);
        QCOMPARE(dropped.toHex(' '), discarded.toHex(' '));
    }
}

void tst_Instrument::stalePartialIsDropped()
{
    SimProtocol::RequestParser parser(Framing::Xor);
    QByteArray dropped;
    QVERIFY(parser.feed(hex("A003"), &dropped).isEmpty());
    QVERIFY(parser.hasPartial());
    parser.dropPartial(&dropped);
    QCOMPARE(rawFrames(parser.feed(hex("0101"), &dropped)), QList<QByteArray>{hex("0101")});
    QCOMPARE(dropped, hex("A003"));
}

void tst_Instrument::answerFraming_data()
{
    QTest::addColumn<bool>("crc");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("xor value") << false << hex("03F2") << hex("03F2F1");
    QTest::newRow("xor byte") << false << hex("02") << hex("0202");
    // Values read from offset 3, a single byte from offset 4, the CRC low byte first.
    QTest::newRow("crc value") << true << hex("03F2") << hex("0001 02 03F2") + hex("0000");
    QTest::newRow("crc byte") << true << hex("02") << hex("0001 02 0002") + hex("0000");
    QTest::newRow("crc four bytes")
            << true << hex("144E01F6") << hex("0001 04 144E01F6") + hex("0000");
}

void tst_Instrument::answerFraming()
{
    QFETCH(bool, crc);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, frame);
    const QByteArray framed
            = SimProtocol::frameAnswer(crc ? Framing::Crc : Framing::Xor, 0x01, data);
    if (crc) {
        const QByteArray body = frame.left(frame.size() - 2);
        const quint16 crcValue = SimProtocol::modbusCrc(body);
        frame = body + char(crcValue & 0xFF) + char(crcValue >> 8);
    }
    QCOMPARE(framed.toHex(' '), frame.toHex(' '));
}

void tst_Instrument::writesAndProtection()
{
    InstrumentState state;
    QCOMPARE(*ask(state, 0xA0, hex("03B6")), hex("03B6"));
    QCOMPARE(*ask(state, 0x20), hex("03B6"));
    QVERIFY(!ask(state, 0xA0, hex("03")).has_value()); // wrong data length: silence

    state.setRequireWriteEnable(true);
    QVERIFY(!ask(state, 0xA0, hex("0384")).has_value());
    QCOMPARE(*ask(state, 0xFD, hex("01")), hex("01"));
    QCOMPARE(*ask(state, 0xA0, hex("0384")), hex("0384"));
    // One enable opens one protected write.
    QVERIFY(!ask(state, 0xA0, hex("0385")).has_value());
    // Hold mode is written without the enable.
    QCOMPARE(*ask(state, 0xC7, hex("02")), hex("02"));

    QCOMPARE(*ask(state, 0x85, hex("0001")), hex("0001"));
    QVERIFY(state.modbusEnabled());
    QCOMPARE(*ask(state, 0x85, hex("0000")), hex("0000"));
}

void tst_Instrument::factoryResetKeepsIdentity()
{
    InstrumentState state;
    state.setFeatureMask(0x00000022);
    state.setRequireWriteEnable(true);
    ask(state, 0xC7, hex("03"));
    QCOMPARE(*ask(state, 0x64), hex("00")); // refused without the enable
    QCOMPARE(state.registerValue(0x47), 3u);
    ask(state, 0xFD, hex("01"));
    QCOMPARE(*ask(state, 0x64), hex("01"));
    QCOMPARE(state.registerValue(0x47), 0u);
    QCOMPARE(*ask(state, 0x40), hex("00000022"));
}

void tst_Instrument::identityWidths()
{
    InstrumentState state;
    state.setIdentity({0x0601, false});
    QCOMPARE(*ask(state, 0x17), hex("0601"));
    state.setIdentity({0x0012, true});
    QCOMPARE(*ask(state, 0x17), hex("12"));
    state.setObjectTemperature(1.0);
    QCOMPARE(*ask(state, 0x01), hex("03F2"));
    QCOMPARE(*ask(state, 0x08), hex("03F2"));
    state.setObjectTemperature(-200.0); // below what the encoding holds
    QCOMPARE(*ask(state, 0x01), hex("0000"));
}

QTEST_APPLESS_MAIN(tst_Instrument)
#include "tst_instrument.moc"
