#include <QtTest>

#include <random>

#include "header_line.h"

class HeaderLineTest : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void blockEnd();
    void randomLinesNeverCrash();
};

void HeaderLineTest::parse_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("isHeader");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("one blank") << QByteArray("Content-Length: 1234\r\n") << true
                               << QByteArray("Content-Length") << QByteArray("1234");
    QTest::newRow("no blank") << QByteArray("Content-Length:1234\r\n") << true
                              << QByteArray("Content-Length") << QByteArray("1234");
    QTest::newRow("several blanks and a tab") << QByteArray("Content-Length: \t   1234\r\n") << true
                                              << QByteArray("Content-Length") << QByteArray("1234");
    QTest::newRow("colon inside value")
            << QByteArray("Date: Mon, 07 Dec 2026 00:20:44 GMT\r\n") << true << QByteArray("Date")
            << QByteArray("Mon, 07 Dec 2026 00:20:44 GMT");
    QTest::newRow("empty value") << QByteArray("X-Empty:\r\n") << true << QByteArray("X-Empty")
                                 << QByteArray();
    QTest::newRow("line feed only")
            << QByteArray("ETag: \"abc\"\n") << true << QByteArray("ETag") << QByteArray("\"abc\"");
    QTest::newRow("no line end") << QByteArray("ETag: abc") << true << QByteArray("ETag")
                                 << QByteArray("abc");
    QTest::newRow("value ends at last carriage return")
            << QByteArray("X-A: a\rb\r\n") << true << QByteArray("X-A") << QByteArray("a\rb");
    QTest::newRow("status line") << QByteArray("HTTP/1.1 200 OK\r\n") << false << QByteArray()
                                 << QByteArray();
    QTest::newRow("no colon") << QByteArray("garbage without separator\r\n") << false
                              << QByteArray() << QByteArray();
    QTest::newRow("block end") << QByteArray("\r\n") << false << QByteArray() << QByteArray();
}

void HeaderLineTest::parse()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, isHeader);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    const auto parsed = nubora::parseHeaderLine(line.constData(), size_t(line.size()));
    QCOMPARE(parsed.has_value(), isHeader);
    if (parsed) {
        QCOMPARE(QByteArray::fromStdString(parsed->first), key);
        QCOMPARE(QByteArray::fromStdString(parsed->second), value);
    }
}

void HeaderLineTest::blockEnd()
{
    QVERIFY(nubora::isHeaderBlockEnd("\r\n", 2));
    QVERIFY(!nubora::isHeaderBlockEnd("\n", 1));
    QVERIFY(!nubora::isHeaderBlockEnd("a\r\n", 3));
}

// Bounded fuzzing: the parsed pieces always lie inside the line.
void HeaderLineTest::randomLinesNeverCrash()
{
    std::mt19937 random(20261207);
    const char alphabet[] = {':', ' ', '\t', '\r', '\n', 'a', 'Z', '0', '\0', char(0xFF)};
    for (int round = 0; round < 20000; ++round) {
        std::string line(random() % 64, ' ');
        for (char &c : line)
            c = alphabet[random() % sizeof alphabet];
        const auto parsed = nubora::parseHeaderLine(line.data(), line.size());
        if (parsed) {
            QVERIFY(parsed->first.size() + parsed->second.size() < line.size());
            QCOMPARE(parsed->first.find(':'), std::string::npos);
        } else {
            QCOMPARE(line.find(':'), std::string::npos);
        }
    }
    const std::string huge = "X-Huge: " + std::string(4 << 20, 'v') + "\r\n";
    const auto parsed = nubora::parseHeaderLine(huge.data(), huge.size());
    QVERIFY(parsed);
    QCOMPARE(parsed->second.size(), size_t(4 << 20));
}

QTEST_GUILESS_MAIN(HeaderLineTest)
#include "tst_header_line.moc"
