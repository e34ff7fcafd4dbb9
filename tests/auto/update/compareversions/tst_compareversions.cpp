#include <QtTest>

#include "aboutdialog.h"

class CompareVersionsTest : public QObject
{
    Q_OBJECT

private slots:
    void order_data();
    void order();
    void versionText_data();
    void versionText();
};

void CompareVersionsTest::order_data()
{
    QTest::addColumn<QString>("running");
    QTest::addColumn<QString>("published");
    QTest::addColumn<int>("expected");

    const QString running = "3.0.240726.01";
    QTest::newRow("equal") << running << "3.0.240726.01" << 0;
    QTest::newRow("last part newer") << running << "3.0.240726.02" << 1;
    QTest::newRow("last part older") << running << "3.0.240726.00" << -1;
    QTest::newRow("first part decides") << running << "4.0.0.0" << 1;
    QTest::newRow("numbers, not text") << "3.0.9.1"
                                       << "3.0.10.1" << 1;
    QTest::newRow("leading zeros") << running << "3.0.240726.1" << 0;
    QTest::newRow("fewer parts though higher") << running << "3.1" << -1;
    QTest::newRow("more parts though lower") << running << "2.0.0.0.0" << 1;
    QTest::newRow("empty is one part") << running << "" << -1;
    QTest::newRow("empty against empty") << ""
                                         << "" << 0;
    QTest::newRow("empty parts count as 0") << "3..1"
                                            << "3.0.1" << 0;
    QTest::newRow("trailing dot adds a part") << running << "3.0.240726.01." << 1;
    QTest::newRow("letters count as 0") << running << "3.0.240726.x" << -1;
    QTest::newRow("sign is not a number") << "3.0.0.0"
                                          << "3.0.0.+1" << 0;
    QTest::newRow("spaces are not a number") << "3.0.0.0"
                                             << "3.0.0. 1" << 0;
    QTest::newRow("beyond 64 bits newer") << "1.18446744073709551616"
                                          << "1.18446744073709551617" << 1;
    QTest::newRow("beyond 64 bits older") << "1.99999999999999999999999"
                                          << "1.9999999999999999999999" << -1;
    QTest::newRow("binary") << running << QString::fromLatin1("\x01\xff.\x80.\x7f.9") << -1;
}

void CompareVersionsTest::order()
{
    QFETCH(QString, running);
    QFETCH(QString, published);
    QFETCH(int, expected);
    QCOMPARE(compareVersions(running, published), expected);
}

void CompareVersionsTest::versionText_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("usable");

    QTest::newRow("version") << QByteArray("3.0.240726.02") << true;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("254 bytes") << QByteArray(254, '9') << true;
    QTest::newRow("255 bytes may be cut off") << QByteArray(255, '9') << false;
    QTest::newRow("trailing newline") << QByteArray("3.0.240726.02\n") << true;
    QTest::newRow("newline inside") << QByteArray("3.0\n240726.02") << false;
    QTest::newRow("letters") << QByteArray("3.0.beta.1") << false;
    QTest::newRow("high bytes") << QByteArray("3.0.\xff.1") << false;
    QTest::newRow("NUL, then more") << QByteArray("3.0.1\0"
                                                  "9",
                                                  7)
                                    << false;
}

void CompareVersionsTest::versionText()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, usable);
    QCOMPARE(isVersionText(content), usable);
}

QTEST_APPLESS_MAIN(CompareVersionsTest)
#include "tst_compareversions.moc"
