#include "csvexport.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();

QList<QByteArray> rowsOf(const QByteArray &text)
{
    QList<QByteArray> rows = text.split('\n');
    if (!rows.isEmpty() && rows.last().isEmpty())
        rows.removeLast();
    return rows;
}
} // namespace

class tst_CsvExport : public QObject
{
    Q_OBJECT

private slots:
    void timeText_data();
    void timeText();
    void roundTrip();
    void unitColumn_data();
    void unitColumn();
    void unwritablePathKeepsEarlierFile();
};

void tst_CsvExport::timeText_data()
{
    QTest::addColumn<QDateTime>("when");
    QTest::newRow("morning, milliseconds kept")
            << QDateTime(QDate(2026, 1, 5), QTime(9, 7, 9, 123));
    QTest::newRow("summer") << QDateTime(QDate(2026, 7, 5), QTime(23, 59, 59, 999));
    QTest::newRow("whole second") << QDateTime(QDate(2026, 3, 1), QTime(0, 0, 0, 0));
}

void tst_CsvExport::timeText()
{
    QFETCH(QDateTime, when);
    const QString text = QString::fromLatin1(csvTime(when.toMSecsSinceEpoch()));
    // Date, 'T', time with milliseconds and an explicit offset.
    QVERIFY2(QRegularExpression(
                     QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d$)"))
                     .match(text)
                     .hasMatch(),
             qPrintable(text));
    QCOMPARE(QDateTime::fromString(text, Qt::ISODateWithMs).toMSecsSinceEpoch(),
             when.toMSecsSinceEpoch());
    QVERIFY(text.startsWith(when.toString(QStringLiteral("yyyy-MM-ddThh:mm:ss.zzz"))));
}

void tst_CsvExport::roundTrip()
{
    RecordSeries series;
    series.durations = {0.0, 0.01, 0.02, 1.5, 3600.25};
    series.temperatures = {25.5, kNaN, -12.25, 1234.0625, 0.1};
    series.ambients = {20.0, 21.0, kNaN, 22.5, kNaN};
    const qint64 start = QDateTime(QDate(2026, 1, 5), QTime(14, 7, 9, 123)).toMSecsSinceEpoch();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    // Each on the first row at or after its time, the late one on the last row.
    const QVector<Marker> markers
            = {{1.2, "a"}, {0.01, "door"}, {1.4, "b"}, {9999, "late"}, {0.015, "x, \"y\""}};
    const QVector<QByteArray> markerFields = {"", "door", "\"x, \"\"y\"\"\"", "a; b", "late"};
    QVERIFY(writeCsv(buffer, start, 2, series, markers));

    const QList<QByteArray> rows = rowsOf(buffer.data());
    QCOMPARE(rows.size(), series.durations.size() + 1);
    QCOMPARE(rows.first(), QByteArray("time,elapsed_s,object,ambient,unit,marker"));
    const auto number = [](const QByteArray &field) {
        return field.isEmpty() ? kNaN : QLocale::c().toDouble(QString::fromLatin1(field));
    };
    for (int i = 0; i < series.durations.size(); ++i) {
        const QByteArray row = rows[i + 1];
        // The marker field is the last; it may hold quoted commas.
        const int markerAt = row.indexOf(',', row.indexOf("°C")) + 1;
        QCOMPARE(row.mid(markerAt), markerFields[i]);
        const QList<QByteArray> fields = row.left(markerAt - 1).split(',');
        QCOMPARE(fields.size(), 5);
        const QDateTime time
                = QDateTime::fromString(QString::fromLatin1(fields[0]), Qt::ISODateWithMs);
        QCOMPARE(time.toMSecsSinceEpoch(), start + qint64(series.durations[i] * 1000 + 0.5));
        QCOMPARE(number(fields[1]), series.durations[i]);
        // The stored values to the record file's tenth, gaps as empty fields.
        const double object = number(fields[2]);
        const double ambient = number(fields[3]);
        QCOMPARE(std::isnan(object), std::isnan(series.temperatures[i]));
        QCOMPARE(std::isnan(ambient), std::isnan(series.ambients[i]));
        if (!std::isnan(object))
            QVERIFY(std::abs(object - series.temperatures[i]) <= 0.05 + 1e-9);
        if (!std::isnan(ambient))
            QVERIFY(std::abs(ambient - series.ambients[i]) <= 0.05 + 1e-9);
        QCOMPARE(QString::fromUtf8(fields[4]), QStringLiteral("°C"));
    }
}

void tst_CsvExport::unitColumn_data()
{
    QTest::addColumn<int>("unit");
    QTest::addColumn<bool>("knownStart");
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("row");
    QTest::newRow("Fahrenheit, no start known")
            << 1 << false << 98.5 << QByteArray(",2.000,98.5,,°F,");
    QTest::newRow("unknown unit") << 7 << false << 98.5 << QByteArray(",2.000,98.5,,,");
    // A float reading widened to double: the record file's decimals, not its binary noise.
    QTest::newRow("float reading") << 2 << false << double(38.3f) << QByteArray(",2.000,38.3,,°C,");
}

void tst_CsvExport::unitColumn()
{
    QFETCH(int, unit);
    QFETCH(bool, knownStart);
    QFETCH(double, value);
    QFETCH(QByteArray, row);
    RecordSeries series;
    series.durations = {2.0};
    series.temperatures = {value};
    series.ambients = {kNaN};
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(writeCsv(
            buffer, knownStart ? std::optional<qint64>(0) : std::nullopt, unit, series, {}));
    QCOMPARE(rowsOf(buffer.data()).value(1), row);
}

void tst_CsvExport::unwritablePathKeepsEarlierFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.csv"));
    {
        QFile earlier(path);
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier contents\n");
    }
    RecordSeries series;
    series.durations = {0.0};
    series.temperatures = {1.0};
    series.ambients = {2.0};
    QString error;
    // A directory that is a file: nothing can be created below it.
    QVERIFY(!saveCsvFile(path + QStringLiteral("/below.csv"), 0, 2, series, {}, {}, &error));
    QVERIFY(!error.isEmpty());
    // A disk that fills up half-way through the rows.
    const bool saved = saveFileAtomically(path, [](QIODevice &device) {
        device.write("time,elapsed_s");
        return false;
    });
    QVERIFY(!saved);
    QFile earlier(path);
    QVERIFY(earlier.open(QIODevice::ReadOnly));
    QCOMPARE(earlier.readAll(), QByteArray("earlier contents\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("out.csv")});
}

QTEST_MAIN(tst_CsvExport)
#include "tst_csvexport.moc"
