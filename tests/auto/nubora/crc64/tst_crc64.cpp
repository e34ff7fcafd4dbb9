#include <QtTest>

#include <random>

#include <lzma.h>

#include "crc64.h"

class Crc64Test : public QObject
{
    Q_OBJECT

private slots:
    void knownValues_data();
    void knownValues();
    void agreesWithLiblzma_data();
    void agreesWithLiblzma();
};

void Crc64Test::knownValues_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<quint64>("expected");
    QTest::newRow("check value") << QByteArray("123456789") << quint64(0x995DC9BBDF1939FAULL);
    QTest::newRow("empty") << QByteArray() << quint64(0);
}

void Crc64Test::knownValues()
{
    QFETCH(QByteArray, input);
    QFETCH(quint64, expected);
    QCOMPARE(quint64(nubora::crc64Update(0, input.constData(), size_t(input.size()))), expected);
}

void Crc64Test::agreesWithLiblzma_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("alignment");
    for (int length : {1, 7, 8, 9, 15, 16, 17, 255, 4096, 65537, 1000003})
        for (int alignment : {0, 3})
            QTest::addRow("%d bytes at +%d", length, alignment) << length << alignment;
}

// Random content, every kind of split into two or more blocks, and starts that
// are not eight-byte aligned.
void Crc64Test::agreesWithLiblzma()
{
    QFETCH(int, length);
    QFETCH(int, alignment);
    std::mt19937 random(uint32_t(length * 31 + alignment));
    std::vector<unsigned char> storage(size_t(length + alignment));
    for (auto &byte : storage)
        byte = static_cast<unsigned char>(random());
    const unsigned char *data = storage.data() + alignment;
    const uint64_t whole = lzma_crc64(data, size_t(length), 0);

    QCOMPARE(nubora::crc64Update(0, data, size_t(length)), whole);

    std::uniform_int_distribution<int> splitAt(0, length);
    for (int trial = 0; trial < 20; ++trial) {
        int first = splitAt(random), second = splitAt(random);
        if (first > second)
            std::swap(first, second);
        uint64_t crc = nubora::crc64Update(0, data, size_t(first));
        crc = nubora::crc64Update(crc, data + first, size_t(second - first));
        crc = nubora::crc64Update(crc, data + second, size_t(length - second));
        QCOMPARE(crc, whole);
    }
}

QTEST_GUILESS_MAIN(Crc64Test)
#include "tst_crc64.moc"
