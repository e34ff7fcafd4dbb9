// Markers in record files: hostile texts stay on their line, files with markers load in this
// build and in older ones, and a file written while its recording runs keeps them too.
#include "marker.h"
#include "recordfile.h"

#include <QBuffer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

// What builds before markers made of a record file: the header loop counts only lines that split
// at ":" into exactly two parts, and a row needs more TAB-separated fields than its columns.
struct OlderRead
{
    int count = -1;
    int unit = -1;
    QVector<double> temperatures;
};

OlderRead readAsOlderBuilds(const QByteArray &bytes)
{
    OlderRead read;
    const QList<QByteArray> lines = bytes.split('\n');
    int i = 1; // the application name
    for (; i < lines.size(); ++i) {
        const QList<QByteArray> parts = lines[i].trimmed().split(':');
        if (parts.size() != 2)
            continue;
        if (parts[0] == "Unit")
            read.unit = parts[1].toInt();
        if (parts[0] == "DataCounts") {
            read.count = parts[1].trimmed().toInt();
            ++i;
            break;
        }
    }
    const QList<QByteArray> columns = lines.value(i).trimmed().split(',');
    const int temperature = int(columns.indexOf("Temperature"));
    const int needed = std::max(temperature, int(columns.indexOf("Duration")));
    for (++i; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].trimmed().split('\t');
        if (fields.size() > needed)
            read.temperatures.append(fields[temperature].toDouble());
    }
    return read;
}

QString longText()
{
    QString text;
    for (int i = 0; i < 10000; ++i)
        text += QChar(u'a' + i % 26);
    return text;
}

} // namespace

class tst_Marker : public QObject
{
    Q_OBJECT
private slots:
    void hostileTexts_data();
    void hostileTexts();
    void shortenedNeverSplitsACharacter();
};

void tst_Marker::hostileTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("readBack");
    QTest::newRow("plain") << "门已打开"
                           << "门已打开";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("tabs") << "a\tb\t"
                          << "a\tb\t";
    QTest::newRow("colons") << "DataCounts:0"
                            << "DataCounts:0";
    QTest::newRow("line breaks")
            << "x\nDataCounts:0\r\nIndex,Duration,Temperature,Tamb,Time\n1\t2\t3\t4\t5"
            << "x\nDataCounts:0\r\nIndex,Duration,Temperature,Tamb,Time\n1\t2\t3\t4\t5";
    QTest::newRow("backslashes") << "C:\\temp\\n"
                                 << "C:\\temp\\n";
    QTest::newRow("control characters") << QString("a\x01"
                                                   "b\x7f")
                                        << "a b ";
    QTest::newRow("10 000 characters")
            << longText() << longText().left(MaxMarkerTextLength - 1) + QChar(0x2026);
}

void tst_Marker::hostileTexts()
{
    QFETCH(QString, text);
    QFETCH(QString, readBack);

    const QByteArray line = markerLine({12.5, text});
    QVERIFY(!line.contains('\t') && !line.contains('\n') && !line.contains('\r'));
    QVERIFY(line.size() < 4096); // the readers' longest line

    // One marker in the header, one written among the rows as the recording ran.
    RecordHeader header;
    header.application = QStringLiteral("Tevrano");
    header.markers = {{0.5, text}};
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    RecordAppender appender(buffer, header);
    QVERIFY(appender.start());
    QVERIFY(appender.append(0.0, 20.0, 21.0));
    QVERIFY(appender.appendMarker({1.25, text}));
    QVERIFY(appender.append(1.5, 30.0, 21.0));
    QVERIFY(appender.finish());

    buffer.seek(0);
    RecordImport imported;
    QVERIFY(readRecord(buffer, imported));
    QCOMPARE(imported.markers, (QVector<Marker>{{0.5, readBack}, {1.25, readBack}}));
    QCOMPARE(imported.series.temperatures, (QVector<double>{20.0, 30.0}));
    QCOMPARE(imported.skippedLines, 0);
    QCOMPARE(imported.dataCount, 2);

    const OlderRead older = readAsOlderBuilds(buffer.data());
    QCOMPARE(older.count, 2);
    QCOMPARE(older.unit, 2);
    QCOMPARE(older.temperatures, (QVector<double>{20.0, 30.0}));

    // The CSV and JSON forms keep a row on one line and a field in one piece.
    const QByteArray field = csvQuoted(markerField({{0, text}, {1, text}}));
    QVERIFY(!field.contains('\n') && !field.contains('\r'));
    QVERIFY(!field.contains(',') || (field.startsWith('"') && field.endsWith('"')));
    const QByteArray json = "{\"marker\":" + jsonString(markerField({{0, text}})) + "}";
    QCOMPARE(QJsonDocument::fromJson(json).object().value("marker").toString().toUtf8(),
             markerField({{0, text}}));
}

void tst_Marker::shortenedNeverSplitsACharacter()
{
    // A surrogate pair straddling the cut goes whole.
    const QString face = QStringLiteral("\U0001F600");
    const QString text = QString(MaxMarkerTextLength - 2, QLatin1Char('x')) + face + face;
    const QString shortened = shortenedMarkerText(text);
    QVERIFY(shortened.size() <= MaxMarkerTextLength);
    QVERIFY(!shortened.at(shortened.size() - 2).isHighSurrogate());
    const QByteArray line = markerLine({0, text});
    QCOMPARE(parseMarkerLine(std::string_view(line.constData(), size_t(line.size())))->text,
             shortened);
}

QTEST_GUILESS_MAIN(tst_Marker)
#include "tst_marker.moc"
