#include "../../residentsize.h"
#include "recordfile.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstring>

namespace {

RecordImport parse(const QByteArray &bytes, bool *ok = nullptr, QVector<int> *steps = nullptr)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    RecordImport result;
    const bool parsed = readRecord(buffer, result, [steps](int p) {
        if (steps)
            steps->append(p);
        return true;
    });
    if (ok)
        *ok = parsed;
    return result;
}

QByteArray write(const RecordHeader &header, const RecordSeries &series)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!writeRecord(buffer, header, series))
        qFatal("writing to a memory buffer failed");
    return buffer.data();
}

QByteArray fileWithColumns(const QByteArray &columns, const QByteArray &rows)
{
    return "Tevrano\nEmissivity:0.9\nUnit:2\nDataCounts:2\n" + columns + "\n" + rows;
}

// The literal's bytes including embedded NULs, without the terminating one.
template<int N>
QByteArray bytesOf(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

qint64 localMsecs(int hour, int minute, int second, int ms)
{
    return QDateTime(QDate(2026, 1, 5), QTime(hour, minute, second, ms)).toMSecsSinceEpoch();
}

// Refuses every write after the first `budget` bytes, like a disk running full.
class FullDevice : public QIODevice
{
public:
    explicit FullDevice(qint64 budget)
        : m_budget(budget)
    {
        open(QIODevice::WriteOnly);
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64 length) override
    {
        if (length > m_budget)
            return -1;
        m_budget -= length;
        return length;
    }

private:
    qint64 m_budget;
};

// A pipe: no size, no seeking; reads hand out `bytes`, writes collect in `written`.
class PipeDevice : public QIODevice
{
public:
    explicit PipeDevice(const QByteArray &bytes = {})
        : m_bytes(bytes)
    {}
    bool isSequential() const override { return true; }
    QByteArray written;

protected:
    qint64 readData(char *data, qint64 length) override
    {
        const qint64 count = qMin(length, qint64(m_bytes.size()) - m_at);
        std::memcpy(data, m_bytes.constData() + m_at, size_t(count));
        m_at += count;
        return count;
    }
    qint64 writeData(const char *data, qint64 length) override
    {
        written.append(data, int(length));
        return length;
    }

private:
    const QByteArray m_bytes;
    qint64 m_at = 0;
};

} // namespace

Q_DECLARE_METATYPE(RecordSeries)

class tst_RecordFile : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void headerLines_data();
    void headerLines();
    void rowTimes_data();
    void rowTimes();
    void columnsInAnyOrder_data();
    void columnsInAnyOrder();
    void unrecognised_data();
    void unrecognised();
    void commaSeparatedRowsGiveNoSamples();
    void dateAndUnitSymbolAreIgnored_data();
    void dateAndUnitSymbolAreIgnored();
    void filesOfEitherQtMajor_data();
    void filesOfEitherQtMajor();
    void missingHeaderValuesStayUnset();
    void rowsShortOfTambHaveNoAmbient();
    void unknownAmbientsSurviveExport_data();
    void unknownAmbientsSurviveExport();
    void gapsSurviveExport();
    void numbersThatAreNotNumbersCountAsZero_data();
    void numbersThatAreNotNumbersCountAsZero();
    void progressWithoutCount_data();
    void progressWithoutCount();
    void cancelStopsAtTheNextBlock_data();
    void cancelStopsAtTheNextBlock();
    void writeFailureIsReported();
    void saveIntoVanishedDirectoryFails();
    void saveReplacesExistingFileWhole();
    void fuzz_data();
    void fuzz();
    void hugeCountReservesOnlyWhatFits_data();
    void hugeCountReservesOnlyWhatFits();
    void importMemoryIsBounded_data();
    void importMemoryIsBounded();
    void sampleLimitOnEveryDevice_data();
    void sampleLimitOnEveryDevice();
    void appenderMatchesWholeWrite_data();
    void appenderMatchesWholeWrite();
    void appenderFailures();
};

void tst_RecordFile::roundTrip_data()
{
    QTest::addColumn<int>("interval");
    QTest::addColumn<double>("durationTolerance");
    QTest::newRow("5 ms, 1 decimal") << 5 << 0.05;
    QTest::newRow("10 ms, 2 decimals") << 10 << 0.005;
    QTest::newRow("50 ms, 2 decimals") << 50 << 0.005;
    QTest::newRow("100 ms, 1 decimal") << 100 << 0.05;
    QTest::newRow("500 ms, 1 decimal") << 500 << 0.05;
    QTest::newRow("1 s, whole seconds") << 1000 << 0.5;
    QTest::newRow("10 s, whole seconds") << 10000 << 0.5;
}

void tst_RecordFile::roundTrip()
{
    QFETCH(int, interval);
    QFETCH(double, durationTolerance);
    RecordSeries series;
    QRandomGenerator random(interval);
    for (int i = 0; i < 500; ++i) {
        series.durations.append(i * interval / 1000.0 + random.bounded(0.004));
        series.temperatures.append(-40.0 + random.bounded(1000.0));
        series.ambients.append(15.0 + random.bounded(20.0));
    }
    RecordHeader header;
    header.application = QStringLiteral("Tevrano");
    header.startMsecs = localMsecs(14, 7, 9, 123);
    header.emissivity = 0.95f;
    header.unit = 1;
    header.recordInterval = interval;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("record.txt"));
    QVERIFY(saveRecordFile(path, header, series));
    RecordImport back;
    QVERIFY(loadRecordFile(path, back));

    QCOMPARE(back.series.durations.size(), series.durations.size());
    QCOMPARE(back.dataCount, series.durations.size());
    QCOMPARE(back.unit.value_or(0), 1);
    QCOMPARE(back.emissivity.value_or(0.0f), 0.95f);
    for (int i = 0; i < series.durations.size(); ++i) {
        QVERIFY2(qAbs(back.series.durations[i] - series.durations[i]) <= durationTolerance + 1e-9,
                 qPrintable(QString::number(i)));
        QVERIFY(qAbs(back.series.temperatures[i] - series.temperatures[i]) <= 0.05 + 1e-9);
        QVERIFY(qAbs(back.series.ambients[i] - series.ambients[i]) <= 0.05 + 1e-9);
    }
    const auto [low, high] = std::minmax_element(back.series.temperatures.cbegin(),
                                                 back.series.temperatures.cend());
    QCOMPARE(back.minTemperature, float(*low));
    QCOMPARE(back.maxTemperature, float(*high));
}

void tst_RecordFile::headerLines_data()
{
    QTest::addColumn<int>("unit");
    QTest::addColumn<int>("samples");
    QTest::addColumn<QStringList>("expected");
    const QString date = QStringLiteral("Date:2026-01-05 14:07:09:123");
    QTest::newRow("Fahrenheit, empty chart") << 1 << 0
                                             << QStringList{"Tevrano",
                                                            date,
                                                            "Emissivity:0.95",
                                                            "Unit:1",
                                                            "UnitSymbol:℉",
                                                            "DataCounts:0",
                                                            "Index,Duration,Temperature,Tamb,Time"};
    QTest::newRow("Celsius, two samples") << 2 << 2
                                          << QStringList{"Tevrano",
                                                         date,
                                                         "Emissivity:0.95",
                                                         "Unit:2",
                                                         "UnitSymbol:℃",
                                                         "DataCounts:2",
                                                         "Index,Duration,Temperature,Tamb,Time"};
    QTest::newRow("unknown unit has no symbol")
            << 3 << 1
            << QStringList{"Tevrano",
                           date,
                           "Emissivity:0.95",
                           "Unit:3",
                           "DataCounts:1",
                           "Index,Duration,Temperature,Tamb,Time"};
}

void tst_RecordFile::headerLines()
{
    QFETCH(int, unit);
    QFETCH(int, samples);
    QFETCH(QStringList, expected);
    RecordHeader header{QStringLiteral("Tevrano"), localMsecs(14, 7, 9, 123), 0.95f, unit, 50};
    RecordSeries series;
    for (int i = 0; i < samples; ++i) {
        series.durations.append(i * 0.05);
        series.temperatures.append(25.0);
        series.ambients.append(24.0);
    }
    const QStringList lines = QString::fromLocal8Bit(write(header, series)).split('\n');
    QCOMPARE(lines.mid(0, expected.size()), expected);
    // Rows, then the empty text after the last line end.
    QCOMPARE(lines.size(), expected.size() + samples + 1);
}

void tst_RecordFile::rowTimes_data()
{
    QTest::addColumn<qint64>("start");
    QTest::addColumn<int>("interval");
    QTest::addColumn<double>("duration");
    QTest::addColumn<QByteArray>("secondRow");
    // The Time column is the start plus the measured Duration, whatever the interval says: a late
    // tick must not shift it.
    QTest::newRow("late tick at 50 ms") << localMsecs(14, 7, 9, 123) << 50 << 0.1
                                        << QByteArray("2\t0.10\t25.3\t24.0\t14:07:09:223");
    QTest::newRow("past midnight") << localMsecs(23, 59, 59, 990) << 10 << 0.011
                                   << QByteArray("2\t0.01\t25.3\t24.0\t00:00:00:001");
    QTest::newRow("seconds interval, to the millisecond")
            << localMsecs(8, 0, 0, 0) << 2000 << 2.4
            << QByteArray("2\t2\t25.3\t24.0\t08:00:02:400");
}

void tst_RecordFile::rowTimes()
{
    QFETCH(qint64, start);
    QFETCH(int, interval);
    QFETCH(double, duration);
    QFETCH(QByteArray, secondRow);
    RecordHeader header{QStringLiteral("Tevrano"), start, 0.95f, 2, interval};
    RecordSeries series{{0.0, duration}, {25.0, 25.26}, {24.0, 24.04}};
    const QList<QByteArray> lines = write(header, series).split('\n');
    QCOMPARE(lines.at(lines.size() - 2), secondRow);
}

void tst_RecordFile::columnsInAnyOrder_data()
{
    QTest::addColumn<QByteArray>("columns");
    QTest::addColumn<QByteArray>("rows");
    QTest::newRow("written order") << QByteArray("Index,Duration,Temperature,Tamb,Time")
                                   << QByteArray("1\t0.5\t30.5\t20.5\t14:00:00:000\n"
                                                 "2\t1.5\t31.5\t21.5\t14:00:01:000\n");
    QTest::newRow("reversed") << QByteArray("Time,Tamb,Temperature,Duration,Index")
                              << QByteArray("14:00:00:000\t20.5\t30.5\t0.5\t1\n"
                                            "14:00:01:000\t21.5\t31.5\t1.5\t2\n");
    QTest::newRow("time only, x from Time") << QByteArray("Index,Time,Temperature,Tamb")
                                            << QByteArray("1\t0.5\t30.5\t20.5\n"
                                                          "2\t1.5\t31.5\t21.5\n");
    QTest::newRow("CR LF line ends") << QByteArray("Index,Duration,Temperature,Tamb,Time\r")
                                     << QByteArray("1\t0.5\t30.5\t20.5\tx\r\n"
                                                   "2\t1.5\t31.5\t21.5\tx\r\n");
    // A file edited by hand often ends without one; its last sample stays.
    QTest::newRow("no line end after the last row")
            << QByteArray("Index,Duration,Temperature,Tamb,Time")
            << QByteArray("1\t0.5\t30.5\t20.5\tx\n"
                          "2\t1.5\t31.5\t21.5\tx");
}

void tst_RecordFile::columnsInAnyOrder()
{
    QFETCH(QByteArray, columns);
    QFETCH(QByteArray, rows);
    bool ok = false;
    const RecordImport result = parse(fileWithColumns(columns, rows), &ok);
    QVERIFY(ok);
    QCOMPARE(result.series.durations, (QVector<double>{0.5, 1.5}));
    QCOMPARE(result.series.temperatures, (QVector<double>{30.5, 31.5}));
    QCOMPARE(result.series.ambients, (QVector<double>{20.5, 21.5}));
}

void tst_RecordFile::unrecognised_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("name only") << QByteArray("Tevrano\n");
    QTest::newRow("no column header") << QByteArray("Tevrano\nUnit:2\nDataCounts:3\n");
    QTest::newRow("no DataCounts line") << QByteArray("Tevrano\nIndex,Duration,Temperature,Time\n"
                                                      "1\t0.1\t20\t14:00:00:000\n");
    QTest::newRow("no Temperature column") << fileWithColumns("Index,Duration,Tamb,Time", "");
    QTest::newRow("no Time column") << fileWithColumns("Index,Duration,Temperature,Tamb", "");
    QTest::newRow("names are case-sensitive")
            << fileWithColumns("index,duration,temperature,tamb,time", "");
}

void tst_RecordFile::unrecognised()
{
    QFETCH(QByteArray, bytes);
    bool ok = true;
    parse(bytes, &ok);
    QVERIFY(!ok);
}

void tst_RecordFile::commaSeparatedRowsGiveNoSamples()
{
    bool ok = false;
    const RecordImport result = parse(fileWithColumns("Index,Duration,Temperature,Tamb,Time",
                                                      "1,0.5,30.5,20.5,14:00:00:000\n"
                                                      "2,1.5,31.5,21.5,14:00:01:000\n"),
                                      &ok);
    QVERIFY(ok);
    QVERIFY(result.series.durations.isEmpty());
    QVERIFY(result.series.temperatures.isEmpty());
    QVERIFY(result.series.ambients.isEmpty());
}

void tst_RecordFile::dateAndUnitSymbolAreIgnored_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("UTF-8") << QByteArray("Tevrano\nDate:2026-01-05 14:07:09:123\nUnit:1\n"
                                         "UnitSymbol:℃\nEmissivity:0.8\nDataCounts:1\n"
                                         "Index,Duration,Temperature,Tamb,Time\n"
                                         "1\t0.00\t98.6\t70.0\t14:07:09:123\n");
    // What the Qt 5 build writes on a Simplified Chinese Windows.
    QTest::newRow("code page 936, CR LF")
            << QByteArray("Tevrano\r\nDate:2026-01-05 14:07:09:123\r\nUnit:1\r\n"
                          "UnitSymbol:\xA1\xE6\r\nEmissivity:0.8\r\nDataCounts:1\r\n"
                          "Index,Duration,Temperature,Tamb,Time\r\n"
                          "1\t0.00\t98.6\t70.0\t14:07:09:123\r\n");
}

void tst_RecordFile::dateAndUnitSymbolAreIgnored()
{
    QFETCH(QByteArray, bytes);
    bool ok = false;
    const RecordImport result = parse(bytes, &ok);
    QVERIFY(ok);
    QCOMPARE(result.unit.value_or(0), 1);
    QCOMPARE(result.emissivity.value_or(0.0f), 0.8f);
    QCOMPARE(result.series.temperatures, QVector<double>{98.6});
}

void tst_RecordFile::filesOfEitherQtMajor_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("written by the Qt 5 build") << QStringLiteral("record-qt5.txt");
    QTest::newRow("written by the Qt 6 build") << QStringLiteral("record-qt6.txt");
}

// The fixtures were written on a UTF-8 locale by writeRecord() of each build from the record
// below, so each build reads what the other wrote and writes the very same bytes. Setting
// TEVRANO_WRITE_RECORD_FIXTURE to a file name writes this build's fixture there instead.
void tst_RecordFile::filesOfEitherQtMajor()
{
    QFETCH(QString, name);
    const RecordHeader header{QStringLiteral("Tevrano"), localMsecs(9, 59, 59, 990), 0.97f, 2, 10};
    RecordSeries series;
    series.durations = {0.0, 0.01, 0.02, 0.03};
    series.temperatures = {-12.5, 0.0, 36.6, 1234.5};
    series.ambients = {21.5, std::nan(""), 22.0, -3.5};
    const QByteArray written = write(header, series);
    const QString target = qEnvironmentVariable("TEVRANO_WRITE_RECORD_FIXTURE");
    if (!target.isEmpty()) {
        QFile out(target);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(written) == written.size());
        QSKIP("fixture written");
    }

    QFile file(QStringLiteral(RECORD_FIXTURES "/") + name);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.errorString()));
    const QByteArray bytes = file.readAll();
    bool ok = false;
    const RecordImport back = parse(bytes, &ok);
    QVERIFY(ok);
    QCOMPARE(back.dataCount, 4);
    QCOMPARE(back.unit.value_or(0), 2);
    QCOMPARE(back.emissivity.value_or(0.0f), 0.97f);
    QCOMPARE(back.series.durations, series.durations);
    QCOMPARE(back.series.temperatures, series.temperatures);
    QCOMPARE(back.series.ambients.size(), 4);
    QVERIFY(std::isnan(back.series.ambients[1]));
    QCOMPARE(back.series.ambients[3], -3.5);
    // The symbol line is the only text beyond ASCII; it follows the local code page.
    QCOMPARE(written, QString::fromUtf8(bytes).toLocal8Bit());
}

void tst_RecordFile::missingHeaderValuesStayUnset()
{
    bool ok = false;
    const RecordImport result
            = parse("Tevrano\nDataCounts:1\nIndex,Duration,Temperature,Time\n1\t0\t20\tx\n", &ok);
    QVERIFY(ok);
    QVERIFY(!result.unit.has_value());
    QVERIFY(!result.emissivity.has_value());
    QCOMPARE(result.series.durations.size(), 1);
}

void tst_RecordFile::rowsShortOfTambHaveNoAmbient()
{
    bool ok = false;
    const RecordImport result = parse(fileWithColumns("Duration,Temperature,Time,Tamb",
                                                      "0.5\t30.5\t0\t20.5\n"
                                                      "1.5\t31.5\t0\n"
                                                      "2.5\n"
                                                      "\n"
                                                      "3.5\t33.5\t0\t\n"),
                                      &ok);
    QVERIFY(ok);
    QCOMPARE(result.series.durations, (QVector<double>{0.5, 1.5, 3.5}));
    QCOMPARE(result.series.ambients.size(), 3);
    QCOMPARE(result.series.ambients[0], 20.5);
    QVERIFY(std::isnan(result.series.ambients[1]));
    QVERIFY(std::isnan(result.series.ambients[2]));
}

void tst_RecordFile::unknownAmbientsSurviveExport_data()
{
    QTest::addColumn<RecordSeries>("series");
    const double unknown = std::nan("");
    QTest::newRow("NaN ambients") << RecordSeries{{0.0, 0.1}, {20.0, 21.0}, {unknown, unknown}};
    QTest::newRow("ambients shorter than durations") << RecordSeries{{0.0, 0.1}, {20.0, 21.0}, {}};
}

void tst_RecordFile::unknownAmbientsSurviveExport()
{
    QFETCH(RecordSeries, series);
    const QByteArray bytes = write({QStringLiteral("Tevrano"), 0, 0.9f, 2, 100}, series);
    QVERIFY(bytes.contains("\n1\t0.0\t20.0\t\t"));
    QVERIFY(bytes.contains("\n2\t0.1\t21.0\t\t"));
    bool ok = false;
    const RecordImport back = parse(bytes, &ok);
    QVERIFY(ok);
    QCOMPARE(back.series.ambients.size(), 2);
    QVERIFY(std::isnan(back.series.ambients[0]) && std::isnan(back.series.ambients[1]));
}

void tst_RecordFile::gapsSurviveExport()
{
    const double gap = std::nan("");
    const QByteArray bytes = write({QStringLiteral("Tevrano"), 0, 0.9f, 2, 100},
                                   {{0.0, 0.1, 0.2}, {20.0, gap, 22.0}, {19.0, gap, 21.0}});
    QVERIFY(bytes.contains("\n2\t0.1\t\t\t"));
    bool ok = false;
    const RecordImport back = parse(bytes, &ok);
    QVERIFY(ok);
    QCOMPARE(back.series.temperatures.size(), 3);
    QVERIFY(std::isnan(back.series.temperatures[1]) && std::isnan(back.series.ambients[1]));
    QCOMPARE(back.series.temperatures[2], 22.0);
    QCOMPARE(back.maxTemperature, 22.0f);
    QCOMPARE(back.minTemperature, 20.0f);
}

void tst_RecordFile::numbersThatAreNotNumbersCountAsZero_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<double>("value");
    QTest::newRow("plain") << QByteArray("12.5") << 12.5;
    QTest::newRow("negative") << QByteArray("-0.5") << -0.5;
    QTest::newRow("explicit plus") << QByteArray("+1.5") << 1.5;
    QTest::newRow("exponent") << QByteArray("1e2") << 100.0;
    QTest::newRow("padded") << QByteArray(" 7 ") << 7.0;
    QTest::newRow("decimal comma") << QByteArray("12,5") << 0.0;
    QTest::newRow("trailing junk") << QByteArray("12abc") << 0.0;
    QTest::newRow("word") << QByteArray("abc") << 0.0;
    QTest::newRow("nan") << QByteArray("nan") << 0.0;
    QTest::newRow("inf") << QByteArray("inf") << 0.0;
    QTest::newRow("overflow") << QByteArray("1e999") << 0.0;
}

void tst_RecordFile::numbersThatAreNotNumbersCountAsZero()
{
    QFETCH(QByteArray, field);
    QFETCH(double, value);
    const RecordImport result
            = parse(fileWithColumns("Duration,Temperature,Time", "1\t" + field + "\tx\n"));
    QCOMPARE(result.series.temperatures, QVector<double>{value});
}

void tst_RecordFile::progressWithoutCount_data()
{
    QTest::addColumn<QByteArray>("countLine");
    QTest::newRow("count of zero") << QByteArray("DataCounts:0");
    QTest::newRow("count not a number") << QByteArray("DataCounts:many");
    QTest::newRow("count beyond int") << QByteArray("DataCounts:2147483648");
    QTest::newRow("count smaller than rows") << QByteArray("DataCounts:3");
}

void tst_RecordFile::progressWithoutCount()
{
    QFETCH(QByteArray, countLine);
    QByteArray bytes = "Tevrano\n" + countLine + "\nIndex,Duration,Temperature,Tamb,Time\n";
    for (int i = 0; i < 200; ++i)
        bytes += QByteArray::number(i + 1) + "\t" + QByteArray::number(i) + "\t20.0\t19.0\tx\n";
    QVector<int> steps;
    bool ok = false;
    const RecordImport result = parse(bytes, &ok, &steps);
    QVERIFY(ok);
    QCOMPARE(result.series.durations.size(), 200);
    QVERIFY(!steps.isEmpty());
    QCOMPARE(steps.last(), 100);
    QVERIFY(std::is_sorted(steps.cbegin(), steps.cend()));
    QVERIFY(std::adjacent_find(steps.cbegin(), steps.cend()) == steps.cend());
}

void tst_RecordFile::cancelStopsAtTheNextBlock_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("stopFrom"); // the first percentage answered with "stop"
    QByteArray rows = "Tevrano\nDataCounts:0\nIndex,Duration,Temperature,Tamb,Time\n";
    for (int i = 0; i < 60000; ++i)
        rows += QByteArray::number(i + 1) + "\t" + QByteArray::number(i) + "\t20.0\t19.0\tx\n";
    // A journal turned into gigabytes of nothing: no line end anywhere, and no disk used.
    QTest::newRow("sparse, no line end") << QByteArray("Tevrano\n") << (qint64(4) << 30) << 1;
    QTest::newRow("rows, while counting") << rows << qint64(rows.size()) << 20;
    QTest::newRow("rows, while keeping") << rows << qint64(rows.size()) << 60;
}

void tst_RecordFile::cancelStopsAtTheNextBlock()
{
    QFETCH(QByteArray, head);
    QFETCH(qint64, size);
    QFETCH(int, stopFrom);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("journal")));
    QVERIFY(file.open(QIODevice::ReadWrite));
    QCOMPARE(file.write(head), qint64(head.size()));
    QVERIFY(file.resize(size));
    QVERIFY(file.seek(0));
    RecordImport result;
    QVERIFY(!readRecord(file, result, [stopFrom](int percent) { return percent < stopFrom; }));
    QCOMPARE(result.failure, RecordFailure::Cancelled);
    QVERIFY(result.series.durations.isEmpty());
    // Each half of the progress is one pass over the file: the reading stopped within a block or
    // two of where the asked-for percentage was reached, not at the end.
    const qint64 passRead = size * ((stopFrom % 50) * 2) / 100;
    QVERIFY2(file.pos() <= passRead + (qint64(2) << 16),
             qPrintable(QStringLiteral("%1 of %2").arg(file.pos()).arg(size)));
}

void tst_RecordFile::writeFailureIsReported()
{
    RecordSeries series;
    for (int i = 0; i < 20000; ++i) {
        series.durations.append(i * 0.01);
        series.temperatures.append(20.0);
        series.ambients.append(19.0);
    }
    const RecordHeader header{QStringLiteral("Tevrano"), 0, 0.9f, 2, 10};
    for (qint64 budget : {qint64(0), qint64(100), qint64(70000), qint64(500000)}) {
        FullDevice device(budget);
        QVERIFY2(!writeRecord(device, header, series), qPrintable(QString::number(budget)));
    }
}

void tst_RecordFile::saveIntoVanishedDirectoryFails()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("gone"));
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(QDir(folder).removeRecursively());
    QString error;
    const QString path = folder + QStringLiteral("/record.txt");
    QVERIFY(!saveRecordFile(path, {}, {}, {}, &error));
    QVERIFY(error.startsWith(QStringLiteral("Cannot open file for writing: ")));
    QVERIFY(!QFile::exists(path));
}

void tst_RecordFile::saveReplacesExistingFileWhole()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("record.txt"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(100000, '#'));
    old.close();
    const RecordSeries series{{0.0}, {20.0}, {19.0}};
    QVERIFY(saveRecordFile(path, {QStringLiteral("Tevrano"), 0, 0.9f, 2, 10}, series));
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    QVERIFY(!bytes.contains('#'));
    QVERIFY(bytes.startsWith("Tevrano\n"));
    QVERIFY(bytes.contains("\nDataCounts:1\n"));
    QCOMPARE(bytes.count('\n'), 8); // seven header lines and the row
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"record.txt"});
}

void tst_RecordFile::fuzz_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray header = "Tevrano\nDataCounts:5\nIndex,Duration,Temperature,Tamb,Time\n";
    QRandomGenerator random(20261207);
    for (int round = 0; round < 8; ++round) {
        QByteArray noise(1 << 16, '\0');
        for (char &c : noise)
            c = char(random.bounded(256));
        QTest::newRow(qPrintable(QStringLiteral("random bytes %1").arg(round))) << noise;
        QTest::newRow(qPrintable(QStringLiteral("random rows %1").arg(round))) << header + noise;
    }
    QTest::newRow("huge header line") << QByteArray(20 << 20, 'A');
    QTest::newRow("huge row") << header + QByteArray(20 << 20, '\t') + "\n1\t2\t3\t4\tx\n";
    QByteArray shortLines;
    shortLines.reserve(6 << 20);
    for (int i = 0; i < 3000000; ++i)
        shortLines += "1\n";
    QTest::newRow("millions of short lines") << header + shortLines;
    QTest::newRow("millions of short header lines") << "Tevrano\n" + shortLines;
    QByteArray nuls = header;
    for (int i = 0; i < 1000; ++i)
        nuls += bytesOf("1\t\0\t2\0\t3\t\0x\n");
    QTest::newRow("NUL bytes") << nuls;
    QTest::newRow("NUL header") << bytesOf("\0\n\0:\0\nDataCounts:\0\n\0\0\0");
    QByteArray hugeRows = header;
    for (int i = 0; i < 8; ++i)
        hugeRows += QByteArray(1 << 20, char('0' + i % 10)) + '\n';
    QTest::newRow("only huge rows") << hugeRows;
    QByteArray lyingCount = "Tevrano\nDataCounts:1\nDuration,Temperature,Time\n";
    for (int i = 0; i < 200000; ++i)
        lyingCount += "1\t2\n";
    QTest::newRow("far more rows than counted") << lyingCount;
}

void tst_RecordFile::fuzz()
{
    QFETCH(QByteArray, bytes);
    QElapsedTimer clock;
    clock.start();
    bool ok = false;
    const RecordImport result = parse(bytes, &ok);
    // Generous: a hang, not a slow machine, is what this catches.
    QVERIFY(clock.elapsed() < 60000);
    const RecordSeries &series = result.series;
    QCOMPARE(series.temperatures.size(), series.durations.size());
    QCOMPARE(series.ambients.size(), series.durations.size());
    QVERIFY(series.durations.capacity() <= qMax(bytes.size() / 2, 16));
    if (ok)
        QCOMPARE(series.durations.capacity(), series.durations.size());
}

void tst_RecordFile::hugeCountReservesOnlyWhatFits_data()
{
    QTest::addColumn<QByteArray>("count");
    QTest::newRow("2^31 - 1") << QByteArray("2147483647");
    QTest::newRow("2^31") << QByteArray("2147483648");
    QTest::newRow("negative") << QByteArray("-2147483648");
}

void tst_RecordFile::hugeCountReservesOnlyWhatFits()
{
    QFETCH(QByteArray, count);
    bool ok = false;
    const RecordImport result = parse("Tevrano\nDataCounts:" + count
                                              + "\nIndex,Duration,Temperature,Tamb,Time\n"
                                                "1\t0.1\t20\t19\tx\n",
                                      &ok);
    QVERIFY(ok);
    QCOMPARE(result.series.durations.size(), 1);
    QVERIFY(result.series.durations.capacity() <= 64);
}

void tst_RecordFile::importMemoryIsBounded_data()
{
    QTest::addColumn<QByteArray>("row");
    QTest::addColumn<int>("rows");
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<int>("samples"); // -1: refused as too many
    // Short rows without a count: the series is six times the file.
    QTest::newRow("short rows") << QByteArray("1\t2\n") << 1500000 << MaxRecordSamples << 1500000;
    QTest::newRow("more than the limit")
            << QByteArray("1\t2\n") << 1500000 << qint64(1000000) << -1;
    QTest::newRow("huge rows") << (QByteArray(1 << 20, '7') + '\n') << 16 << MaxRecordSamples << 0;
}

void tst_RecordFile::importMemoryIsBounded()
{
    QFETCH(QByteArray, row);
    QFETCH(int, rows);
    QFETCH(qint64, limit);
    QFETCH(int, samples);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.txt"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Tevrano\nDataCounts:0\nDuration,Temperature,Time\n");
        const QByteArray block = row.repeated(qMax(1, 65536 / row.size()));
        const int perBlock = block.size() / row.size();
        for (int written = 0; written < rows; written += perBlock)
            QVERIFY(file.write(rows - written >= perBlock ? block : row.repeated(rows - written))
                    > 0);
    }
    const bool peakKnown = resetResidentPeak();
    const qint64 before = peakKnown ? residentPeakKiB() : residentKiB();
    RecordImport result;
    const bool ok = loadRecordFile(path, result, {}, nullptr, limit);
    const qint64 grownKiB = (peakKnown ? residentPeakKiB() : residentKiB()) - before;
    QCOMPARE(ok, samples >= 0);
    QCOMPARE(result.failure, samples >= 0 ? RecordFailure::None : RecordFailure::TooManySamples);
    QCOMPARE(result.series.durations.size(), qMax(samples, 0));
    // The series with a half again for the reader, and room for a sanitizer's bookkeeping.
    const qint64 seriesKiB = qint64(qMax(samples, 0)) * 3 * sizeof(double) / 1024;
    QVERIFY2(before < 0 || grownKiB < seriesKiB * 3 / 2 + 8 * 1024,
             qPrintable(QStringLiteral("grew %1 KiB for a %2 KiB series")
                                .arg(grownKiB)
                                .arg(seriesKiB)));
}

// A device that cannot seek is read once; the limit holds there as well.
void tst_RecordFile::sampleLimitOnEveryDevice_data()
{
    QTest::addColumn<bool>("sequential");
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("accepted");
    for (bool sequential : {false, true}) {
        const char *kind = sequential ? "sequential" : "seekable";
        QTest::newRow(qPrintable(QStringLiteral("%1, at the limit").arg(kind)))
                << sequential << 50 << true;
        QTest::newRow(qPrintable(QStringLiteral("%1, one over").arg(kind)))
                << sequential << 51 << false;
    }
}

void tst_RecordFile::sampleLimitOnEveryDevice()
{
    QFETCH(bool, sequential);
    QFETCH(int, rows);
    QFETCH(bool, accepted);
    // Overlong and short rows in between count for nothing.
    QByteArray bytes = "Tevrano\nDataCounts:3\nDuration,Temperature,Time\n";
    for (int i = 0; i < rows; ++i)
        bytes += QByteArray::number(i) + "\t20\n" + QByteArray(5000, 'x') + "\n1\n";
    QBuffer buffer(&bytes);
    PipeDevice pipe(bytes);
    pipe.open(QIODevice::ReadOnly);
    buffer.open(QIODevice::ReadOnly);
    QIODevice *device = sequential ? static_cast<QIODevice *>(&pipe) : &buffer;
    QVector<int> steps;
    RecordImport result;
    QCOMPARE(readRecord(
                     *device,
                     result,
                     [&steps](int p) {
                         steps.append(p);
                         return true;
                     },
                     50),
             accepted);
    QCOMPARE(result.failure, accepted ? RecordFailure::None : RecordFailure::TooManySamples);
    QCOMPARE(result.series.durations.size(), accepted ? rows : 0);
    QVERIFY(std::is_sorted(steps.cbegin(), steps.cend()));
    QVERIFY(steps.isEmpty() || (steps.first() >= 0 && steps.last() <= 100));
    if (accepted) {
        QCOMPARE(result.series.durations.last(), double(rows - 1));
        QCOMPARE(steps.last(), 100);
    }
}

QTEST_GUILESS_MAIN(tst_RecordFile)
#include "tst_recordfile.moc"

void tst_RecordFile::appenderMatchesWholeWrite_data()
{
    QTest::addColumn<int>("samples");
    QTest::addColumn<bool>("sequential");
    QTest::newRow("file, none") << 0 << false;
    QTest::newRow("file, 3 with a gap") << 3 << false;
    QTest::newRow("file, 12345") << 12345 << false;
    QTest::newRow("pipe, 3 with a gap") << 3 << true;
}

// Saved as it runs, a recording gives the same rows and, where the device can seek, the same
// count as one saved at the end.
void tst_RecordFile::appenderMatchesWholeWrite()
{
    QFETCH(int, samples);
    QFETCH(bool, sequential);
    RecordSeries series;
    for (int i = 0; i < samples; ++i) {
        series.durations.append(i * 0.05);
        series.temperatures.append(i == 1 ? std::nan("") : 20.0 + i % 100);
        series.ambients.append(i == 1 ? std::nan("") : 23.5);
    }
    const RecordHeader header{
            QStringLiteral("tevrano-log"), localMsecs(23, 59, 59, 990), 0.95f, 1, 50};

    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("live.txt")));
    PipeDevice pipe;
    QIODevice &device = sequential ? static_cast<QIODevice &>(pipe) : file;
    QVERIFY(device.open(sequential ? QIODevice::WriteOnly : QIODevice::ReadWrite));
    RecordAppender appender(device, header);
    QVERIFY(appender.start());
    for (int i = 0; i < samples; ++i)
        QVERIFY(appender.append(series.durations[i], series.temperatures[i], series.ambients[i]));
    QVERIFY(appender.finish());
    QCOMPARE(appender.count(), samples);
    file.close();
    QVERIFY(sequential || file.open(QIODevice::ReadOnly));
    const QByteArray bytes = sequential ? pipe.written : file.readAll();

    const QByteArray whole = write(header, series);
    const QByteArray countLine = "DataCounts:" + QByteArray::number(samples) + "\n";
    QVERIFY(whole.contains(countLine));
    QByteArray expected = whole;
    const QByteArray count = sequential ? QByteArray() : QByteArray::number(samples);
    expected.replace(countLine, "DataCounts:" + count.leftJustified(10) + "\n");
    if (samples > 1)
        QVERIFY(bytes.contains("\n2\t0.05\t\t\t00:00:00:040\n"));
    QCOMPARE(bytes, expected);
    const RecordImport back = parse(bytes);
    QCOMPARE(back.dataCount, sequential ? 0 : samples);
    QCOMPARE(back.series.durations.size(), samples);
}

void tst_RecordFile::appenderFailures()
{
    const RecordHeader header{QStringLiteral("tevrano-log"), 0, 0.95f, 2, 100};
    FullDevice full(300);
    RecordAppender appender(full, header);
    QVERIFY(appender.start());
    int appended = 0;
    while (appender.append(0.1, 25.0, 23.0))
        ++appended;
    QVERIFY(appended > 0 && appended < 20);
    QCOMPARE(appender.count(), appended);
}
