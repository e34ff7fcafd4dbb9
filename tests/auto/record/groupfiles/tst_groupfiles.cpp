// The files of a recording over several instruments: their names and the CSV with a column each.
#include "groupfiles.h"

#include <QBuffer>
#include <QtTest>

#include <cmath>

class tst_GroupFiles : public QObject
{
    Q_OBJECT

private slots:
    void instrumentFileNames_data();
    void instrumentFileNames();
    void csvJoinsTheInstrumentsBySlot();
};

void tst_GroupFiles::instrumentFileNames_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("instruments");
    QTest::addColumn<QString>("expected");

    QTest::newRow("alone keeps the path") << "/d/kiln.txt"
                                          << "Zone 1" << 1 << "/d/kiln.txt";
    QTest::newRow("label") << "/d/kiln.txt"
                           << "Zone 1" << 3 << "/d/kiln-Zone 1.txt";
    QTest::newRow("serial without label") << "/d/kiln.txt"
                                          << "  " << 2 << "/d/kiln-SN7.txt";
    QTest::newRow("unsafe characters") << "/d/kiln.txt"
                                       << "a/b:c*?." << 2 << "/d/kiln-a_b_c__.txt";
    QTest::newRow("no extension") << "/d.x/kiln"
                                  << "Top" << 2 << "/d.x/kiln-Top";
}

void tst_GroupFiles::instrumentFileNames()
{
    QFETCH(QString, chosen);
    QFETCH(QString, label);
    QFETCH(int, instruments);
    QFETCH(QString, expected);
    QCOMPARE(instrumentFilePath(chosen, label, QStringLiteral("SN7"), instruments), expected);
}

void tst_GroupFiles::csvJoinsTheInstrumentsBySlot()
{
    const double gap = std::nan("");
    // The first has a gap in slot 2; the second joins in slot 1 and misses slot 2.
    const QVector<CsvColumn> columns{
            {QStringLiteral("Zone 1"),
             {{0.0, 0.1, 0.2, 0.3}, {30.0, 31.0, gap, 33.0}, {20, 20, 20, 20}}},
            {QStringLiteral("Zone, 2"), {{0.101, 0.3, 0.401}, {40.0, 42.0, 43.0}, {20, 20, 20}}},
    };
    const QVector<Marker> markers{{5.0, QStringLiteral("late")},
                                  {0.15, QStringLiteral("door open")}};

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(writeGroupCsv(buffer, std::nullopt, 100, 2, columns, markers));
    QCOMPARE(QString::fromUtf8(buffer.data()),
             QStringLiteral("time,elapsed_s,Zone 1,\"Zone, 2\",unit,marker\n"
                            ",0.000,30.0,,°C,\n"
                            ",0.100,31.0,40.0,°C,\n"
                            ",0.200,,,°C,door open\n"
                            ",0.300,33.0,42.0,°C,\n"
                            ",0.401,,43.0,°C,late\n"));

    // With a start, each row's time is the start plus its elapsed seconds.
    const qint64 start = QDateTime(QDate(2026, 3, 29), QTime(1, 59, 59, 900)).toMSecsSinceEpoch();
    QBuffer timed;
    timed.open(QIODevice::WriteOnly);
    QVERIFY(writeGroupCsv(timed, start, 100, 2, columns, {}));
    const QList<QByteArray> rows = timed.data().split('\n');
    const QByteArray last = rows.at(rows.size() - 2);
    QCOMPARE(QDateTime::fromString(QString::fromLatin1(last.left(last.indexOf(','))),
                                   Qt::ISODateWithMs)
                     .toMSecsSinceEpoch(),
             start + 401);
}

QTEST_GUILESS_MAIN(tst_GroupFiles)
#include "tst_groupfiles.moc"
