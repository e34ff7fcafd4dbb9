// Several instruments in one chart: a named curve each, a record file each, one CSV, several
// files imported and several journals restored.

#include "../chartfixtures.h"
#include "chartwidget.h"
#include "instrument.h"
#include "recordinggroup.h"

#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

#include <qcustomplot.h>

namespace {

QByteArray recordText(const QByteArray &date, double first)
{
    QByteArray text = "Tevrano\nDate:" + date
                      + "\nEmissivity:0.95\nUnit:2\nUnitSymbol:℃\nDataCounts:0\n"
                        "Index,Duration,Temperature,Tamb,Time\n";
    for (int i = 0; i < 3; ++i)
        text += QByteArray::number(i + 1) + "\t" + QByteArray::number(i * 1.0, 'f', 2) + "\t"
                + QByteArray::number(first + i, 'f', 1) + "\t19.0\t14:07:09:123\n";
    return text;
}

void writeText(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write test file");
}

QByteArray firstLine(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read test file");
    return file.readLine().trimmed();
}

// The graph named `name`; null when there is none.
const QCPGraph *curveNamed(const ChartWidget &chart, const QString &name)
{
    for (int i = 0; i < chart.plot()->graphCount(); ++i) {
        if (chart.plot()->graph(i)->name() == name)
            return chart.plot()->graph(i);
    }
    return nullptr;
}

QVector<double> valuesOf(const QCPGraph *graph)
{
    QVector<double> values;
    for (const QCPGraphData &point : *graph->data())
        values << point.value;
    return values;
}

// What an instrument's poll loop reports, as it reaches the chart.
void report(Instrument &instrument, Instrument::ConnectionState state)
{
    emit instrument.connectionStateChanged(state);
}
void report(Instrument &instrument, double object)
{
    emit instrument.ambientTemperature(object - 5.0, 2, 0);
    emit instrument.objectTemperature(object, 2, 0);
}

// The object curves' names, in the order drawn.
QStringList objectCurveNames(const ChartWidget &chart)
{
    QStringList names;
    for (int i = 0; i < chart.plot()->graphCount(); i += 2)
        names << chart.plot()->graph(i)->name();
    return names;
}

} // namespace

class tst_ChartGroup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void curvesReadoutAndStatisticsNameEachInstrument();
    void liveTrendListsOnlyTheCurveItDraws();
    void liveTrendDrawsEveryInstrument();
    void statisticsStripShowsEveryLine_data();
    void statisticsStripShowsEveryLine();
    void instrumentsAttachByTheirSerialAndLabelsFollow();
    void saveWritesAFileEachOrOneCsv_data();
    void saveWritesAFileEachOrOneCsv();
    void importOfTwoFilesShowsTwoCurves();
    void recordingKeepsOnlyTheInstruments();
    void instrumentJoiningAfterFilesLeadsTheRecording_data();
    void instrumentJoiningAfterFilesLeadsTheRecording();
    void journalsOfBothInstrumentsAreRestored();

private:
    // "A1" labelled "Zone 1" at 20, 21, 22 °C and "B2" without a label at 30, 31, 32 °C.
    void recordTwo();
    QString path(const QString &name) const { return m_dir->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ChartUnderTest> m_f;
};

void tst_ChartGroup::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_f = std::make_unique<ChartUnderTest>();
}

void tst_ChartGroup::cleanup()
{
    m_f.reset();
    m_dir.reset();
}

void tst_ChartGroup::recordTwo()
{
    ChartWidget &chart = m_f->chart;
    chart.setNameProvider([](const QString &serial) {
        return serial == QLatin1String("A1") ? QStringLiteral("Zone 1") : QString();
    });
    chart.group().rename(QString(), QStringLiteral("A1"));
    chart.group().add(QStringLiteral("B2"));
    for (int i = 0; i < 3; ++i) {
        chart.group().session(QStringLiteral("A1"))->samples().append(i, 20.0 + i, 15.0);
        chart.group().session(QStringLiteral("B2"))->samples().append(i, 30.0 + i, 25.0);
    }
    chart.refreshView();
}

void tst_ChartGroup::curvesReadoutAndStatisticsNameEachInstrument()
{
    ChartWidget &chart = m_f->chart;
    recordTwo();
    chart.setAmbientVisible(true);
    QCOMPARE(objectCurveNames(chart), QStringList({"Zone 1", "B2"}));
    QCOMPARE(chart.plot()->graph(1)->name(), QStringLiteral("Zone 1 环温"));
    // The first keeps the single instrument's orange; the second has a colour of its own.
    QCOMPARE(chart.plot()->graph(0)->pen().color(), QColor(255, 128, 0));
    QVERIFY(chart.plot()->graph(2)->pen().color() != QColor(255, 128, 0));

    const QPoint at(int(chart.plot()->xAxis->coordToPixel(1.0)),
                    chart.plot()->axisRect()->center().y());
    QMouseEvent move(QEvent::MouseMove, at, chart.plot()->mapToGlobal(at), Qt::NoButton, {}, {});
    QApplication::sendEvent(chart.plot(), &move);
    const QString readout = chart.readoutText();
    for (const char *line : {"Zone 1 21.0", "B2 31.0", "Zone 1 环温 15.0", "B2 环温 25.0"})
        QVERIFY2(readout.contains(QString::fromUtf8(line)), qPrintable(readout));

    chart.updateStatistics();
    const QStringList strip
            = chart.findChild<QLabel *>(QStringLiteral("label_statistics"))->text().split('\n');
    QCOMPARE(strip.size(), 2);
    QVERIFY2(strip[0].startsWith("Zone 1:") && strip[0].contains("最大 22.0"),
             qPrintable(strip[0]));
    QVERIFY2(strip[1].startsWith("B2:") && strip[1].contains("最大 32.0"), qPrintable(strip[1]));
}

void tst_ChartGroup::liveTrendListsOnlyTheCurveItDraws()
{
    ChartWidget &chart = m_f->chart;
    recordTwo();
    QCOMPARE(chart.plot()->legend->itemCount(), 2);
    // The trend holds the first instrument's readings only: a second entry would name a curve
    // that is not there.
    chart.setLive(true);
    chart.showLiveTrend();
    chart.refreshView();
    QVERIFY(chart.isTrendShown());
    QCOMPARE(chart.plot()->legend->itemCount(), 1);
    QVERIFY(chart.plot()->legend->hasItemWithPlottable(chart.plot()->graph(0)));
}

// Every connected instrument draws its own trend on one time axis, named as its recorded curve;
// one lost leaves a gap and goes on when back, one joining later gets a trend of its own.
void tst_ChartGroup::liveTrendDrawsEveryInstrument()
{
    using State = Instrument::ConnectionState;
    ChartWidget &chart = m_f->chart;
    chart.setNameProvider([](const QString &serial) {
        return serial == QLatin1String("A1") ? QStringLiteral("Zone 1") : QString();
    });
    Instrument one;
    Instrument two;
    chart.attach(&one, "A1");
    chart.attach(&two, "B2");
    report(one, State::Connected);
    report(two, State::Connected);
    QVERIFY(chart.isTrendShown());
    for (int i = 0; i < 3; ++i) {
        report(one, 20.0);
        report(two, 30.0);
    }
    report(two, State::Lost);
    report(one, 21.0);
    report(two, State::Connected);
    report(two, 31.0);
    chart.refreshView();
    QCOMPARE(chart.plot()->legend->itemCount(), 2);
    QCOMPARE(valuesOf(curveNamed(chart, "Zone 1")), QVector<double>({20, 20, 20, 21}));
    const QVector<double> second = valuesOf(curveNamed(chart, "B2"));
    QCOMPARE(second.size(), 5);
    QVERIFY2(std::isnan(second[3]) && second[4] == 31.0, "a gap while lost, then on");

    chart.setAmbientVisible(true);
    const double at = curveNamed(chart, "Zone 1")->data()->at(1)->key;
    const QPoint pos(int(chart.plot()->xAxis->coordToPixel(at)),
                     chart.plot()->axisRect()->center().y());
    QMouseEvent move(QEvent::MouseMove, pos, chart.plot()->mapToGlobal(pos), Qt::NoButton, {}, {});
    QApplication::sendEvent(chart.plot(), &move);
    const QString readout = chart.readoutText();
    for (const char *line : {"Zone 1 20.0", "B2 30.0", "B2 环温 25.0"})
        QVERIFY2(readout.contains(QString::fromUtf8(line)), qPrintable(readout));
    chart.updateStatistics();
    const QLabel *label = chart.findChild<QLabel *>(QStringLiteral("label_statistics"));
    const QStringList strip = label->text().split('\n');
    QCOMPARE(strip.size(), 2);
    QVERIFY2(strip[1].startsWith("B2:") && strip[1].contains("最大 31.0"), qPrintable(strip[1]));
    // A line more in the strip takes its room from the plot, not from under it.
    QTRY_VERIFY(label->height() > label->fontMetrics().height() * 3 / 2);
    QVERIFY(chart.plot()->geometry().bottom() < label->geometry().top());

    Instrument late;
    chart.attach(&late, "C3");
    report(late, State::Connected);
    report(late, 40.0);
    chart.refreshView();
    QCOMPARE(valuesOf(curveNamed(chart, "C3")), QVector<double>({40.0}));
    QCOMPARE(chart.plot()->legend->itemCount(), 6);
}

void tst_ChartGroup::statisticsStripShowsEveryLine_data()
{
    QTest::addColumn<int>("instruments");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("rows");
    QTest::newRow("two, one under the other") << 2 << 1200 << 2;
    QTest::newRow("eight side by side") << 8 << 1400 << 4;
    QTest::newRow("eight in a narrow strip") << 8 << 500 << 8;
}

// The plot sits outside the layout: once it covered the lines a statistics update added, and
// only the last one showed.
void tst_ChartGroup::statisticsStripShowsEveryLine()
{
    QFETCH(int, instruments);
    QFETCH(int, width);
    QFETCH(int, rows);
    ChartWidget &chart = m_f->chart;
    chart.resize(width, 600);
    QVERIFY(QTest::qWaitForWindowExposed(&chart));
    chart.group().rename(QString(), QStringLiteral("S0"));
    for (int i = 0; i < instruments; ++i) {
        RecordingSession *session = chart.group().add(QStringLiteral("S%1").arg(i));
        for (int t = 0; t < 3; ++t)
            session->samples().append(t, 20.0 + i, 15.0);
    }
    chart.refreshView();
    chart.updateStatistics();
    auto *strip = chart.findChild<QLabel *>(QStringLiteral("label_statistics"));
    for (int i = 0; i < instruments; ++i)
        QVERIFY(strip->text().contains(QStringLiteral("S%1:").arg(i)));
    QTRY_VERIFY(strip->height() >= rows * strip->fontMetrics().lineSpacing());
    QVERIFY(strip->height() < (rows + 1) * strip->fontMetrics().lineSpacing() + 4);
    QVERIFY(chart.plot()->geometry().bottom() < strip->geometry().top());
}

void tst_ChartGroup::instrumentsAttachByTheirSerialAndLabelsFollow()
{
    ChartWidget &chart = m_f->chart;
    RecordingSession *first = &chart.session();
    QMap<QString, QString> labels;
    chart.setNameProvider([&labels](const QString &serial) { return labels.value(serial); });
    Instrument one;
    Instrument two;
    QCOMPARE(chart.attach(&one, "A1"), first);
    RecordingSession *second = chart.attach(&two, "B2");
    QVERIFY(second != first && second == chart.group().session("B2"));
    QCOMPARE(chart.attach(&one, "A1"), first);
    QCOMPARE(chart.group().serials(), QStringList({"A1", "B2"}));
    QCOMPARE(objectCurveNames(chart), QStringList({"A1", "B2"}));
    labels["B2"] = "Zone 2";
    chart.labelChanged("B2");
    QCOMPARE(objectCurveNames(chart), QStringList({"A1", "Zone 2"}));
}

void tst_ChartGroup::saveWritesAFileEachOrOneCsv_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QStringList>("written");
    QTest::newRow("record file each")
            << "kiln.txt" << QStringList{"kiln-Zone 1.txt", "kiln-B2.txt"};
    QTest::newRow("one csv") << "kiln.csv" << QStringList{"kiln.csv"};
}

void tst_ChartGroup::saveWritesAFileEachOrOneCsv()
{
    QFETCH(QString, chosen);
    QFETCH(QStringList, written);
    recordTwo();
    m_f->prompter.savePath = path(chosen);
    QVERIFY(m_f->chart.exportRecord());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files, QDir::Name).size(), written.size());
    if (written.size() == 1) {
        QCOMPARE(firstLine(path(written[0])), QByteArray("time,elapsed_s,Zone 1,B2,unit,marker"));
        return;
    }
    for (int i = 0; i < written.size(); ++i) {
        RecordImport saved;
        QVERIFY(loadRecordFile(path(written[i]), saved));
        QCOMPARE(saved.series.temperatures.constFirst(), 20.0 + 10.0 * i);
    }
}

void tst_ChartGroup::importOfTwoFilesShowsTwoCurves()
{
    ChartWidget &chart = m_f->chart;
    writeText(path("north.txt"), recordText("2026-01-05 14:07:00:000", 20.0));
    // Ten seconds later: its curve starts at 10 s on the first one's axis.
    writeText(path("south.txt"), recordText("2026-01-05 14:07:10:000", 40.0));
    chart.loadRecords({path("north.txt"), path("south.txt")});
    QCOMPARE(chart.group().serials(), QStringList({"north", "south"}));
    QCOMPARE(objectCurveNames(chart), QStringList({"north", "south"}));
    QCOMPARE(chart.plot()->graph(2)->data()->size(), 3);
    QCOMPARE(chart.plot()->graph(2)->data()->begin()->key, 10.0);
    QCOMPARE(chart.plot()->graph(2)->data()->begin()->value, 40.0);
    QVERIFY(chart.plot()->xAxis->range().contains(12.0));
}

// Files imported beside a connected instrument are no instruments: a recording started after
// them has no session, no curve and no file for them.
void tst_ChartGroup::recordingKeepsOnlyTheInstruments()
{
    ChartWidget &chart = m_f->chart;
    Instrument instrument;
    chart.attach(&instrument, QStringLiteral("A1"));
    writeText(path("north.txt"), recordText("2026-01-05 14:07:00:000", 20.0));
    writeText(path("south.txt"), recordText("2026-01-05 14:07:10:000", 40.0));
    chart.loadRecords({path("north.txt"), path("south.txt")});
    QCOMPARE(chart.group().serials(), QStringList({"A1", "north", "south"}));
    chart.on_pushButton_startstop_clicked();
    QVERIFY(chart.isRecording());
    QCOMPARE(chart.group().serials(), QStringList({"A1"}));
    // Alone again, its curves are the two of a single instrument.
    QCOMPARE(chart.plot()->graphCount(), 2);
    chart.on_pushButton_startstop_clicked();
    chart.discardRecording();
}

void tst_ChartGroup::instrumentJoiningAfterFilesLeadsTheRecording_data()
{
    QTest::addColumn<bool>("journals");
    QTest::newRow("files imported") << false;
    // Restored at start-up, before the search finds an instrument: held until settled.
    QTest::newRow("journals of others restored") << true;
}

// Files loaded before any instrument stay viewable beside it; a recording started then is the
// instrument's alone, saved as one file, and what is unsaved is kept until the recording starts.
void tst_ChartGroup::instrumentJoiningAfterFilesLeadsTheRecording()
{
    QFETCH(bool, journals);
    ChartWidget &chart = m_f->chart;
    QDir(m_dir->path()).mkdir("saved");
    const QStringList files = journals
                                      ? QStringList{groupJournalPath(m_dir->path(), "north", false),
                                                    groupJournalPath(m_dir->path(), "south", false)}
                                      : QStringList{path("north.txt"), path("south.txt")};
    writeText(files[0], recordText("2026-01-05 14:07:00:000", 20.0));
    writeText(files[1], recordText("2026-01-05 14:07:10:000", 40.0));
    if (journals) {
        chart.setJournalFolder(m_dir->path());
        QVERIFY(chart.restoreJournal());
    } else {
        chart.loadRecords(files);
    }
    Instrument instrument;
    chart.attach(&instrument, "A1");
    QCOMPARE(chart.group().serials(), QStringList({"A1", "north", "south"}));
    QCOMPARE(chart.hasUnsavedRecording(), journals);
    QCOMPARE(valuesOf(curveNamed(chart, "south")), QVector<double>({40, 41, 42}));

    chart.on_pushButton_startstop_clicked();
    QCOMPARE(chart.group().serials(), QStringList({"A1"}));
    QCOMPARE(chart.plot()->graphCount(), 2);
    chart.samples().append(0.0, 25.0, 20.0);
    chart.on_pushButton_startstop_clicked();
    m_f->prompter.savePath = path("saved/kiln.txt");
    QVERIFY(chart.exportRecord());
    QCOMPARE(QDir(path("saved")).entryList(QDir::Files), QStringList({"kiln.txt"}));
    for (const QString &file : files)
        QVERIFY2(QFileInfo::exists(file), qPrintable(file));
}

void tst_ChartGroup::journalsOfBothInstrumentsAreRestored()
{
    ChartWidget &chart = m_f->chart;
    writeText(groupJournalPath(m_dir->path(), "A1", false),
              recordText("2026-01-05 14:07:00:000", 20.0));
    writeText(groupJournalPath(m_dir->path(), "B2", false),
              recordText("2026-01-05 14:07:00:000", 30.0));
    chart.setJournalFolder(m_dir->path());
    QVERIFY(chart.restoreJournal());
    QCOMPARE(chart.group().serials(), QStringList({"A1", "B2"}));
    QVERIFY(chart.hasUnsavedRecording());
    QCOMPARE(chart.group().session("B2")->samples().snapshot().temperatures,
             QVector<double>({30.0, 31.0, 32.0}));
    QCOMPARE(objectCurveNames(chart), QStringList({"A1", "B2"}));
    QCOMPARE(chart.plot()->graph(2)->data()->size(), 3);
}

QTEST_MAIN(tst_ChartGroup)
#include "tst_chartgroup.moc"
