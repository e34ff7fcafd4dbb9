// The chart as the user works with it: live trend, mouse, readout, statistics
// strip and exports.

#include "../chartfixtures.h"
#include "chartwidget.h"
#include "markerlayer.h"
#include "thresholdlines.h"

#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

#include <qcustomplot.h>

#include <limits>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

QPoint pixelAt(const ChartWidget &chart, double key)
{
    return QPoint(int(std::lround(chart.plot()->xAxis->coordToPixel(key))),
                  chart.plot()->axisRect()->center().y());
}

void sendMouse(QWidget *target,
               QEvent::Type type,
               const QPoint &at,
               Qt::MouseButtons buttons,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, target->mapToGlobal(at), button, buttons, modifiers);
    QApplication::sendEvent(target, &event);
}

void sendWheel(QWidget *target, const QPoint &at, Qt::KeyboardModifiers modifiers)
{
    QWheelEvent event(at,
                      target->mapToGlobal(at),
                      QPoint(),
                      QPoint(0, 120),
                      Qt::NoButton,
                      modifiers,
                      Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(target, &event);
}

QString strip(const ChartWidget &chart)
{
    return chart.findChild<QLabel *>(QStringLiteral("label_statistics"))->text();
}

} // namespace

class tst_ChartView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void trendShowsReadingsWithoutRecording();
    void wheelAndDoubleClick();
    void readoutAtKnownTimes();
    void statisticsOfViewAndSelection();
    void statisticsWithoutValuesShowDashes();
    void markerListChoosesSpanAndEditsTheSavedText();
    void exports();
    void failedPictureExportKeepsEarlierFile();
    void savedFileFollowsItsName_data();
    void savedFileFollowsItsName();
    void thresholdLabels_data();
    void thresholdLabels();

private:
    // Records the given samples (key, object, ambient) and stops.
    void record(const QVector<std::array<double, 3>> &samples);

    std::unique_ptr<ChartUnderTest> m_f;
    QTemporaryDir m_dir;
};

void tst_ChartView::init()
{
    m_f = std::make_unique<ChartUnderTest>();
    m_f->chart.resize(800, 500);
    QVERIFY(QTest::qWaitForWindowExposed(&m_f->chart));
}

void tst_ChartView::cleanup()
{
    m_f.reset();
}

void tst_ChartView::record(const QVector<std::array<double, 3>> &samples)
{
    ChartWidget &chart = m_f->chart;
    chart.on_pushButton_startstop_clicked();
    for (const auto &[key, object, ambient] : samples)
        chart.samples().append(key, object, ambient);
    chart.on_pushButton_startstop_clicked();
    chart.plot()->replot();
}

void tst_ChartView::trendShowsReadingsWithoutRecording()
{
    ChartWidget &chart = m_f->chart;
    chart.addObjectReading(10.0);
    QVERIFY(chart.shownSeries().isEmpty()); // not connected
    chart.setLive(true);
    QVERIFY(chart.isTrendShown());
    for (double reading : {21.0, 22.5, 23.0}) {
        chart.addAmbientReading(reading - 5);
        chart.addObjectReading(reading);
    }
    chart.refreshView();
    QCOMPARE(chart.shownSeries().values(ChartSeries::Object), (QVector<double>{21.0, 22.5, 23.0}));
    QCOMPARE(chart.shownSeries().values(ChartSeries::Ambient), (QVector<double>{16.0, 17.5, 18.0}));
    QCOMPARE(chart.temperatureGraph()->data()->size(), 3);
    QCOMPARE(chart.samples().size(), 0);
    // Told again that the instrument is there (a language change does): the trend stays.
    chart.setLive(true);
    QCOMPARE(chart.shownSeries().size(), 3);

    // Start: a recording that starts empty, the trend gone.
    chart.on_pushButton_startstop_clicked();
    QVERIFY(!chart.isTrendShown());
    chart.addObjectReading(30.0);
    chart.refreshView();
    QVERIFY(chart.shownSeries().isEmpty());
    chart.samples().append(0.0, 30.0, 20.0);
    chart.on_pushButton_startstop_clicked();
    QCOMPARE(chart.shownSeries().size(), 1);
    QVERIFY(!chart.isTrendShown()); // the recording stays until asked for the trend

    chart.addObjectReading(31.0);
    chart.showLiveTrend();
    QVERIFY(chart.isTrendShown());
    QCOMPARE(chart.shownSeries().values(ChartSeries::Object), QVector<double>{31.0});
    chart.setLive(false);
    QVERIFY(!chart.isTrendShown());
    QCOMPARE(chart.shownSeries().size(), 1);
}

void tst_ChartView::wheelAndDoubleClick()
{
    ChartWidget &chart = m_f->chart;
    record({{{0.0, 20.0, 19.0}}, {{5.0, 25.0, 19.0}}, {{10.0, 22.0, 19.0}}});
    const QCPRange x = chart.plot()->xAxis->range();
    const QCPRange y = chart.plot()->yAxis->range();
    const QPoint at = pixelAt(chart, 10.0);

    sendWheel(chart.plot(), at, Qt::NoModifier);
    QVERIFY(chart.plot()->xAxis->range().size() < x.size());
    QVERIFY(qAbs(chart.plot()->xAxis->pixelToCoord(at.x()) - 10.0) < 0.2); // about the cursor
    QCOMPARE(chart.plot()->yAxis->range(), y);
    sendWheel(chart.plot(), at, Qt::ControlModifier);
    QVERIFY(chart.plot()->yAxis->range().size() < y.size());

    // Dragging pans.
    const QCPRange zoomed = chart.plot()->xAxis->range();
    sendMouse(chart.plot(), QEvent::MouseButtonPress, at, Qt::LeftButton);
    sendMouse(chart.plot(), QEvent::MouseMove, at + QPoint(40, 0), Qt::LeftButton);
    sendMouse(chart.plot(), QEvent::MouseButtonRelease, at + QPoint(40, 0), Qt::NoButton);
    QVERIFY(chart.plot()->xAxis->range().lower < zoomed.lower);

    // The refresh leaves the user's view alone; a double-click brings the automatic one back.
    chart.refreshView();
    QVERIFY(chart.plot()->xAxis->range().lower < zoomed.lower);
    sendMouse(chart.plot(), QEvent::MouseButtonDblClick, at, Qt::LeftButton);
    QCOMPARE(chart.plot()->xAxis->range(), x);
    QCOMPARE(chart.plot()->yAxis->range(), y);
}

void tst_ChartView::readoutAtKnownTimes()
{
    ChartWidget &chart = m_f->chart;
    chart.setAmbientVisible(true);
    record({{{0.0, 20.0, 15.0}}, {{1.0, 21.5, 16.0}}, {{2.0, kNaN, 17.0}}, {{3.0, 23.0, kNaN}}});
    const qint64 start = *chart.startMsecs();
    const auto clock = [start](qint64 ms) {
        return QDateTime::fromMSecsSinceEpoch(start + ms).toString(QStringLiteral("hh:mm:ss.zzz"));
    };

    sendMouse(chart.plot(), QEvent::MouseMove, pixelAt(chart, 1.1), Qt::NoButton);
    QString text = chart.readoutText();
    QVERIFY2(text.contains(clock(1000)), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("经过 1.00 秒")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("实温 21.5")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("环温 16.0")), qPrintable(text));

    sendMouse(chart.plot(), QEvent::MouseMove, pixelAt(chart, 2.9), Qt::NoButton);
    text = chart.readoutText();
    QVERIFY2(text.contains(QStringLiteral("实温 23.0")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("环温 —")), qPrintable(text));

    // Over a gap, and beyond the last sample: nothing.
    sendMouse(chart.plot(), QEvent::MouseMove, pixelAt(chart, 2.0), Qt::NoButton);
    QCOMPARE(chart.readoutText(), QString());
    sendMouse(chart.plot(), QEvent::MouseMove, pixelAt(chart, 1.0), Qt::NoButton);
    QVERIFY(!chart.readoutText().isEmpty());
    sendMouse(chart.plot(), QEvent::MouseMove, pixelAt(chart, 8.0), Qt::NoButton);
    QCOMPARE(chart.readoutText(), QString());
}

void tst_ChartView::statisticsOfViewAndSelection()
{
    ChartWidget &chart = m_f->chart;
    record({{{0.0, 20.0, 0}},
            {{1.0, 24.0, 0}},
            {{2.0, kNaN, 0}},
            {{3.0, 22.0, 0}},
            {{4.0, 30.0, 0}}});
    chart.updateStatistics();
    // 20, 24, 22, 30: mean 24, deviation sqrt(56/3).
    QCOMPARE(strip(chart),
             QStringLiteral(
                     "最小 20.0   最大 30.0   平均 24.00   标准差 4.32   样本 4   时长 4.0 秒"));

    const QPoint from = pixelAt(chart, 0.5);
    const QPoint to = pixelAt(chart, 3.5);
    sendMouse(chart.plot(), QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::ShiftModifier);
    sendMouse(chart.plot(), QEvent::MouseMove, to, Qt::LeftButton, Qt::ShiftModifier);
    sendMouse(chart.plot(), QEvent::MouseButtonRelease, to, Qt::NoButton, Qt::ShiftModifier);
    QCOMPARE(chart.plot()->xAxis->range().lower, 0.0); // selecting does not pan
    // Within four updates a second: the strip follows on its own.
    QTRY_COMPARE(strip(chart),
                 QStringLiteral("选区：最小 22.0   最大 24.0   平均 23.00   标准差 1.41   样本 2   "
                                "时长 2.0 秒"));
    QTest::keyClick(chart.plot(), Qt::Key_Escape);
    QCOMPARE(chart.statisticsSpan(), chart.plot()->xAxis->range());
    QTRY_VERIFY(strip(chart).startsWith(QStringLiteral("最小 20.0")));
}

void tst_ChartView::markerListChoosesSpanAndEditsTheSavedText()
{
    ChartWidget &chart = m_f->chart;
    record({{{0.0, 20.0, 0}}, {{1.0, 24.0, 0}}, {{2.0, 22.0, 0}}, {{3.0, 30.0, 0}}});
    chart.markerLayer()->setMarkers({{1.0, QStringLiteral("door")}, {2.0, QString()}});
    MarkerList list(chart.markerLayer());
    connect(&list, &MarkerList::spanChosen, &chart, &ChartWidget::selectSpan);
    // From a marker to the next, and from the last to the end.
    emit list.itemClicked(list.topLevelItem(0), 0);
    QCOMPARE(chart.statisticsSpan(), QCPRange(1.0, 2.0));
    emit list.itemClicked(list.topLevelItem(1), 0);
    QCOMPARE(chart.statisticsSpan(), QCPRange(2.0, 3.0));

    chart.markerLayer()->setText(1, QStringLiteral("lid"));
    const QVector<Marker> saved{{1.0, QStringLiteral("door")}, {2.0, QStringLiteral("lid")}};
    QCOMPARE(chart.recordHeader().markers, saved);
}

void tst_ChartView::statisticsWithoutValuesShowDashes()
{
    ChartWidget &chart = m_f->chart;
    chart.updateStatistics();
    const QString dashes
            = QStringLiteral("最小 —   最大 —   平均 —   标准差 —   样本 0   时长 — 秒");
    QCOMPARE(strip(chart), dashes);
    record({{{0.0, kNaN, 1.0}}, {{1.0, kNaN, 1.0}}});
    chart.updateStatistics();
    QCOMPARE(strip(chart), dashes);
}

void tst_ChartView::exports()
{
    ChartWidget &chart = m_f->chart;
    record({{{0.0, 20.0, 19.0}}, {{0.5, kNaN, 19.5}}, {{1.0, 21.0, kNaN}}});

    m_f->prompter.savePath = m_dir.filePath(QStringLiteral("chart.png"));
    chart.exportImage();
    QImage picture(m_f->prompter.savePath);
    QCOMPARE(picture.size(), chart.plot()->size() * 2);

    m_f->prompter.savePath = m_dir.filePath(QStringLiteral("chart.PDF"));
    chart.exportImage();
    QFile pdf(m_f->prompter.savePath);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    QCOMPARE(pdf.read(4), QByteArray("%PDF"));

    m_f->prompter.savePath = m_dir.filePath(QStringLiteral("chart.csv"));
    chart.exportCsv();
    QFile csv(m_f->prompter.savePath);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = csv.readAll().trimmed().split('\n');
    QCOMPARE(rows.size(), 4);
    QVERIFY2(rows[2].contains(",0.500,,19.5,"), rows[2].constData());
    QVERIFY2(rows[3].endsWith(",1.000,21.0,,°C,"), rows[3].constData());
    QCOMPARE(m_f->prompter.messages.size(), 3);
    for (const RecordingPrompter::Message &message : m_f->prompter.messages)
        QCOMPARE(message.icon, QMessageBox::Information);
}

void tst_ChartView::failedPictureExportKeepsEarlierFile()
{
    ChartWidget &chart = m_f->chart;
    for (const QString &name :
         {QStringLiteral("gone/chart.png"), QStringLiteral("chart.png/x.png")}) {
        m_f->prompter.messages.clear();
        const QString earlier = m_dir.filePath(QStringLiteral("chart.png"));
        QFile file(earlier);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("earlier");
        file.close();
        m_f->prompter.savePath = m_dir.filePath(name);
        chart.exportImage();
        QCOMPARE(m_f->prompter.messages.size(), 1);
        QCOMPARE(m_f->prompter.messages.first().icon, QMessageBox::Critical);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("earlier"));
        file.close();
    }
}

void tst_ChartView::savedFileFollowsItsName_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("recorded");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written"); // empty: nothing written
    QTest::addColumn<QByteArray>("head"); // what the file holds
    QTest::newRow("record, bare name") << "record" << true << "run"
                                       << "run.txt" << QByteArray("DataCounts:");
    QTest::newRow("record named .csv") << "record" << true << "run.CSV"
                                       << "run.CSV" << QByteArray("time,elapsed_s");
    QTest::newRow("csv, bare name") << "csv" << true << "table"
                                    << "table.csv" << QByteArray("time,elapsed_s");
    QTest::newRow("picture, bare name") << "image" << true << "x"
                                        << "x.png" << QByteArray("\x89PNG");
    QTest::newRow("picture as pdf") << "image" << true << "x.pdf"
                                    << "x.pdf" << QByteArray("%PDF");
    QTest::newRow("record, nothing recorded")
            << "record" << false << "run" << QString() << QByteArray();
    QTest::newRow("csv, nothing recorded") << "csv" << false << "run" << QString() << QByteArray();
}

void tst_ChartView::savedFileFollowsItsName()
{
    QFETCH(QString, action);
    QFETCH(bool, recorded);
    QFETCH(QString, typed);
    QFETCH(QString, written);
    QFETCH(QByteArray, head);
    ChartWidget &chart = m_f->chart;
    if (recorded)
        record({{{0.0, 20.0, 19.0}}, {{1.0, 21.0, 19.5}}});
    QTemporaryDir dir;
    m_f->prompter.savePath = dir.filePath(typed);
    if (action == "record")
        QCOMPARE(chart.exportRecord(), recorded);
    else if (action == "csv")
        chart.exportCsv();
    else
        chart.exportImage();
    QCOMPARE(m_f->prompter.messages.size(), 1);
    QCOMPARE(m_f->prompter.messages.first().icon, QMessageBox::Information);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
             written.isEmpty() ? QStringList() : QStringList{written});
    if (written.isEmpty())
        return;
    QFile file(dir.filePath(written));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains(head));
}

void tst_ChartView::thresholdLabels_data()
{
    QTest::addColumn<double>("high");
    QTest::addColumn<double>("low");
    QTest::addColumn<int>("highLabelBelow"); // 1 below its line, 0 above, -1 either
    QTest::addColumn<int>("lowLabelAbove");
    // The plot shows 0 to 100; the legend sits in its top right corner.
    QTest::newRow("in the middle") << 60.0 << 40.0 << 1 << 1;
    QTest::newRow("high at the bottom, low at the top") << 0.5 << 99.5 << 0 << 0;
    QTest::newRow("at the edges they guard") << 99.5 << 0.5 << 1 << 1;
    QTest::newRow("close together") << 60.0 << 59.5 << 0 << 0;
    QTest::newRow("the same value") << 50.0 << 50.0 << -1 << -1;
    QTest::newRow("high at the top edge, under the legend") << 99.5 << 10.0 << 1 << 1;
    QTest::newRow("both at the top edge") << 99.8 << 99.5 << -1 << -1;
}

// Each label beside its line inside the plot, clear of the other label and of the legend.
void tst_ChartView::thresholdLabels()
{
    QFETCH(double, high);
    QFETCH(double, low);
    QFETCH(int, highLabelBelow);
    QFETCH(int, lowLabelAbove);
    ChartWidget &chart = m_f->chart;
    ThresholdLines lines(chart.plot());
    lines.setThresholds(high, low, 2);
    chart.plot()->yAxis->setRange(0, 100);
    // Twice: the first draw lays out the legend the labels keep clear of.
    chart.plot()->replot();
    chart.plot()->replot();
    if (highLabelBelow >= 0)
        QCOMPARE(bool(lines.highLabel()->positionAlignment() & Qt::AlignTop), highLabelBelow == 1);
    if (lowLabelAbove >= 0)
        QCOMPARE(bool(lines.lowLabel()->positionAlignment() & Qt::AlignBottom), lowLabelAbove == 1);
    const QRectF inside = QRectF(chart.plot()->axisRect()->rect()).adjusted(-1, -1, 1, 1);
    const auto box = [](QCPItemText *label) {
        return QRectF(label->topLeft->pixelPosition(), label->bottomRight->pixelPosition());
    };
    const QRectF legend(chart.plot()->legend->outerRect());
    QVERIFY(chart.plot()->legend->visible() && !legend.isEmpty());
    for (QCPItemText *label : {lines.highLabel(), lines.lowLabel()}) {
        const QRectF b = box(label);
        QVERIFY2(inside.contains(b),
                 qPrintable(QStringLiteral("a label outside the plot: %1,%2 %3x%4 in %5,%6 %7x%8")
                                    .arg(b.x())
                                    .arg(b.y())
                                    .arg(b.width())
                                    .arg(b.height())
                                    .arg(inside.x())
                                    .arg(inside.y())
                                    .arg(inside.width())
                                    .arg(inside.height())));
        QVERIFY2(!box(label).intersects(legend), "a label under the legend");
    }
    QVERIFY2(!box(lines.highLabel()).intersects(box(lines.lowLabel())), "the labels overlap");
}

QTEST_MAIN(tst_ChartView)
#include "tst_chartview.moc"
