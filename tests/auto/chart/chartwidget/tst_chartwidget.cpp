#include "../chartfixtures.h"
#include "chartwidget.h"
#include "navbutton.h"
#include "zoomscale.h"

#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTranslator>
#include <QtTest>

#include <qcustomplot.h>

#include <cmath>

namespace {

QString stripCaption(const ChartWidget &chart, const char *name)
{
    return chart.findChild<NavButton *>(QLatin1String(name))->text();
}

QList<ZoomScale *> openPopups()
{
    QList<ZoomScale *> popups;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *popup = qobject_cast<ZoomScale *>(widget))
            popups.append(popup);
    }
    return popups;
}

class EnglishAxis : public QTranslator
{
public:
    QString translate(const char *context, const char *source, const char *, int) const override
    {
        if (QLatin1String(context) != QLatin1String("ChartWidget"))
            return QString();
        if (QString::fromUtf8(source) == QStringLiteral("时间(秒)"))
            return QStringLiteral("Time (s)");
        if (QString::fromUtf8(source) == QStringLiteral("实温"))
            return QStringLiteral("Object");
        return QString();
    }
    bool isEmpty() const override { return false; }
};

} // namespace

Q_DECLARE_METATYPE(QCPRange)

class tst_chartwidget : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void construction();
    void storedLimits_data();
    void storedLimits();
    void setUnit_data();
    void setUnit();
    void rangeClamps_data();
    void rangeClamps();
    void zoomSteps_data();
    void zoomSteps();
    void leavingWholeViewNarrowsWindow_data();
    void leavingWholeViewNarrowsWindow();
    void refreshWithoutSamplesKeepsRange();
    void refreshFollowsNewestSample_data();
    void refreshFollowsNewestSample();
    void pausedRefreshKeepsView();
    void followsReadingsUntilTheUserMovesTheView();
    void autoFit_data();
    void autoFit();
    void startWhilePausedClearsPause();
    void startStopSignalsAndCaptions();
    void samplesWithoutRecentReadingAreGaps();
    void sampleLimitStopsSamplingOnce();
    void sampleLimitOfZeroEndsAtOnce();
    void ambientVisibility();
    void zoomPopups();
    void languageChange();
    void stopAndCloseStopsSampling();

private:
    std::unique_ptr<ChartUnderTest> m_f;
};

void tst_chartwidget::init()
{
    m_f = std::make_unique<ChartUnderTest>();
    QVERIFY(QTest::qWaitForWindowExposed(&m_f->chart));
}

void tst_chartwidget::cleanup()
{
    m_f.reset();
}

void tst_chartwidget::construction()
{
    ChartWidget &chart = m_f->chart;
    QCOMPARE(chart.plot()->xAxis->label(), QStringLiteral("时间(秒)"));
    QCOMPARE(chart.plot()->yAxis->label(), QStringLiteral("温度(℃)"));
    QCOMPARE(chart.plot()->xAxis->range(), QCPRange(0, 30));
    QCOMPARE(chart.plot()->yAxis->range(), QCPRange(0, 100));
    QCOMPARE(chart.plot()->graphCount(), 2);
    QCOMPARE(chart.temperatureGraph()->pen().color(), QColor(255, 128, 0));
    QCOMPARE(chart.ambientGraph()->pen().color(), QColor(156, 156, 156));
    QCOMPARE(chart.temperatureGraph()->pen().width(), 2);
    QCOMPARE(chart.temperatureGraph()->name(), QStringLiteral("实温"));
    QCOMPARE(chart.ambientGraph()->name(), QStringLiteral("环温"));
    QVERIFY(chart.plot()->legend->visible());
    QVERIFY(!chart.ambientGraph()->visible());
    QCOMPARE(chart.plot()->legend->itemCount(), 1);
    QCOMPARE(chart.plot()->xAxis->labelFont().pixelSize(), 14);
    QCOMPARE(chart.plot()->yAxis->basePen().color(), QColor(0, 0, 0));
    QVERIFY(!chart.findChild<QWidget *>(QStringLiteral("widget_menu"))->isVisible());
    QCOMPARE(stripCaption(chart, "pushButton_mode"), QStringLiteral("全局"));
    QCOMPARE(chart.plot()->size(),
             chart.findChild<QWidget *>(QStringLiteral("graphicwidget"))->size());
    QVERIFY(!chart.isRecording());
    QVERIFY(!chart.isPaused());
    QCOMPARE(chart.viewMode(), 0);
    // The main window's chart buttons draw these check boxes.
    for (const char *icon : {":/imager/ic_checkbox_sel.png", ":/imager/ic_checkbox_unsel.png"})
        QCOMPARE(QPixmap(QLatin1String(icon)).size(), QSize(18, 18));
}

void tst_chartwidget::storedLimits_data()
{
    QTest::addColumn<QString>("cache");
    QTest::addColumn<QString>("interval");
    QTest::addColumn<int>("cacheSize");
    QTest::addColumn<int>("recordInterval");
    QTest::newRow("defaults") << QString() << QString() << 1000000 << 10;
    QTest::newRow("stored") << "5"
                            << "500" << 5000 << 500;
    // The interval is checked before the sampling clock divides by it.
    QTest::newRow("not numbers") << "lots"
                                 << "fast" << 0 << 1;
    QTest::newRow("huge saturates") << "99999999"
                                    << "10" << INT_MAX << 10;
}

void tst_chartwidget::storedLimits()
{
    QFETCH(QString, cache);
    QFETCH(QString, interval);
    QFETCH(int, cacheSize);
    QFETCH(int, recordInterval);
    m_f->settings.values.clear();
    if (!cache.isNull())
        m_f->settings.values[QStringLiteral("ChartLineCache")] = cache;
    if (!interval.isNull())
        m_f->settings.values[QStringLiteral("ChartLineFPS")] = interval;
    ChartWidget chart;
    QCOMPARE(chart.cacheSize(), cacheSize);
    QCOMPARE(chart.recordInterval(), recordInterval);
}

// A sample held, the graphs and the latest readings move to the new unit; the next sample too.
void tst_chartwidget::setUnit_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("label");
    QTest::addColumn<double>("temperature");
    QTest::addColumn<double>("ambient");
    QTest::addColumn<double>("converted");
    QTest::addColumn<double>("convertedAmbient");
    QTest::newRow("Fahrenheit") << 2 << 1 << "温度(℉)" << 20.0 << 10.0 << 68.0 << 50.0;
    QTest::newRow("Celsius") << 1 << 2 << "温度(℃)" << 68.0 << 50.0 << 20.0 << 10.0;
    QTest::newRow("unknown keeps label and values")
            << 1 << 3 << "温度(℉)" << 68.0 << 50.0 << 68.0 << 50.0;
}

void tst_chartwidget::setUnit()
{
    QFETCH(int, first);
    QFETCH(int, code);
    QFETCH(QString, label);
    QFETCH(double, temperature);
    QFETCH(double, ambient);
    QFETCH(double, converted);
    QFETCH(double, convertedAmbient);
    ChartWidget &chart = m_f->chart;
    // A hidden ambient curve is handed no points.
    chart.setAmbientVisible(true);
    chart.setUnit(first);
    chart.on_pushButton_startstop_clicked();
    feedReading(chart, temperature, ambient); // the first sample
    chart.refreshView();
    chart.setUnit(code);
    QCOMPARE(chart.plot()->yAxis->label(), label);
    QCOMPARE(chart.unit(), code);
    QCOMPARE(chart.recordHeader().unit, code);
    chart.session().takeSample();
    const RecordSeries series = chart.samples().snapshot();
    QCOMPARE(series.temperatures, QVector<double>({converted, converted}));
    QCOMPARE(series.ambients, QVector<double>({convertedAmbient, convertedAmbient}));
    QCOMPARE(chart.temperatureGraph()->data()->at(0)->value, converted);
    QCOMPARE(chart.ambientGraph()->data()->at(0)->value, convertedAmbient);
    chart.on_pushButton_startstop_clicked();
}

void tst_chartwidget::rangeClamps_data()
{
    QTest::addColumn<bool>("xAxis");
    QTest::addColumn<QCPRange>("requested");
    QTest::addColumn<QCPRange>("expected");
    QTest::newRow("time below zero narrows") << true << QCPRange(-5, 10) << QCPRange(0, 10);
    QTest::newRow("time inside stays") << true << QCPRange(3, 10) << QCPRange(3, 10);
    QTest::newRow("temperature below -50") << false << QCPRange(-80, 20) << QCPRange(-50, 20);
    QTest::newRow("temperature at -50 stays") << false << QCPRange(-50, 20) << QCPRange(-50, 20);
}

void tst_chartwidget::rangeClamps()
{
    QFETCH(bool, xAxis);
    QFETCH(QCPRange, requested);
    QFETCH(QCPRange, expected);
    QCPAxis *axis = xAxis ? m_f->chart.plot()->xAxis : m_f->chart.plot()->yAxis;
    axis->setRange(requested);
    QCOMPARE(axis->range(), expected);
    // A drag moves both bounds; the clamp must hold there too.
    axis->moveRange(-1000);
    QVERIFY(axis->range().lower >= (xAxis ? 0.0 : -50.0));
}

void tst_chartwidget::zoomSteps_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<QCPRange>("start");
    QTest::addColumn<QCPRange>("expected");
    const double inX = (12.0 - 12.0 / 1.2) * 0.5;
    const double outX = (12.0 * 1.2 - 12.0) * 0.5;
    QTest::newRow("x in") << "horizontalZoomin" << QCPRange(10, 22) << QCPRange(10 + inX, 22 - inX);
    QTest::newRow("x in at 1 s does nothing")
            << "horizontalZoomin" << QCPRange(10, 11) << QCPRange(10, 11);
    QTest::newRow("x out") << "horizontalZoomout" << QCPRange(10, 22)
                           << QCPRange(10 - outX, 22 + outX);
    QTest::newRow("x out at 100000 s does nothing")
            << "horizontalZoomout" << QCPRange(0, 100000) << QCPRange(0, 100000);
    QTest::newRow("y in") << "verticalZoomin" << QCPRange(10, 22) << QCPRange(10 + inX, 22 - inX);
    QTest::newRow("y in at 0.1 does nothing")
            << "verticalZoomin" << QCPRange(0, 0.1) << QCPRange(0, 0.1);
    QTest::newRow("y out at 10000 does nothing")
            << "verticalZoomout" << QCPRange(0, 10000) << QCPRange(0, 10000);
    QTest::newRow("y out") << "verticalZoomout" << QCPRange(10, 22)
                           << QCPRange(10 - outX, 22 + outX);
}

void tst_chartwidget::zoomSteps()
{
    QFETCH(QString, step);
    QFETCH(QCPRange, start);
    QFETCH(QCPRange, expected);
    QCPAxis *axis = step.startsWith(QLatin1String("horizontal")) ? m_f->chart.plot()->xAxis
                                                                 : m_f->chart.plot()->yAxis;
    axis->setRange(start);
    QVERIFY(QMetaObject::invokeMethod(&m_f->chart, qPrintable(step)));
    QVERIFY(qAbs(axis->range().lower - expected.lower) < 1e-9);
    QVERIFY(qAbs(axis->range().upper - expected.upper) < 1e-9);

    // Hidden plot: no zoom at all.
    m_f->chart.hide();
    QVERIFY(QMetaObject::invokeMethod(&m_f->chart, qPrintable(step)));
    QVERIFY(qAbs(axis->range().lower - expected.lower) < 1e-9);
}

void tst_chartwidget::leavingWholeViewNarrowsWindow_data()
{
    QTest::addColumn<QCPRange>("visible");
    QTest::addColumn<double>("newest");
    QTest::addColumn<QCPRange>("expected");
    QTest::newRow("12.7 s gives 12 s at newest") << QCPRange(0, 12.7) << 40.0 << QCPRange(28, 40);
    QTest::newRow("300 s gives 30 s") << QCPRange(0, 300) << 250.0 << QCPRange(270, 300);
    QTest::newRow("view beyond newest keeps right edge")
            << QCPRange(100, 110) << 50.0 << QCPRange(100, 110);
}

void tst_chartwidget::leavingWholeViewNarrowsWindow()
{
    QFETCH(QCPRange, visible);
    QFETCH(double, newest);
    QFETCH(QCPRange, expected);
    m_f->chart.samples().append(0.0, 20.0, 19.0);
    m_f->chart.samples().append(newest, 21.0, 19.0);
    m_f->chart.on_pushButton_mode_clicked();
    QCOMPARE(m_f->chart.viewMode(), 1);
    m_f->chart.plot()->xAxis->setRange(visible);
    m_f->chart.on_pushButton_mode_clicked();
    QCOMPARE(m_f->chart.viewMode(), 0);
    QCOMPARE(m_f->chart.plot()->xAxis->range(), expected);
}

void tst_chartwidget::refreshWithoutSamplesKeepsRange()
{
    m_f->chart.plot()->xAxis->setRange(5, 17);
    m_f->chart.on_pushButton_startstop_clicked();
    QVERIFY(m_f->chart.isRecording());
    for (int mode : {0, 1}) {
        m_f->chart.setViewMode(mode);
        m_f->chart.refreshView();
        QCOMPARE(m_f->chart.plot()->xAxis->range(), QCPRange(5, 17));
    }
}

void tst_chartwidget::refreshFollowsNewestSample_data()
{
    QTest::addColumn<int>("viewMode");
    QTest::addColumn<QVector<double>>("durations");
    QTest::addColumn<QCPRange>("expected");
    QTest::newRow("scrolling, inside the first window")
            << 0 << QVector<double>{0.0, 10.0} << QCPRange(0, 30);
    QTest::newRow("scrolling, past the first window")
            << 0 << QVector<double>{0.0, 10.0, 45.0} << QCPRange(15, 45);
    QTest::newRow("whole recording") << 1 << QVector<double>{2.0, 10.0, 45.0} << QCPRange(2, 45);
}

void tst_chartwidget::refreshFollowsNewestSample()
{
    QFETCH(int, viewMode);
    QFETCH(QVector<double>, durations);
    QFETCH(QCPRange, expected);
    m_f->chart.setAmbientVisible(true); // hidden, it is handed no points
    m_f->chart.on_pushButton_startstop_clicked();
    // The window's own movement, without the fit that follows by default.
    m_f->chart.setAutoFit(false);
    m_f->chart.setViewMode(viewMode);
    // Arrivals in two batches: the graphs must end up with every sample once.
    const int half = durations.size() / 2;
    for (int i = 0; i < durations.size(); ++i) {
        m_f->chart.samples().append(durations[i], 20.0 + i, 19.0);
        if (i == half - 1)
            m_f->chart.refreshView();
    }
    m_f->chart.refreshView();
    QCOMPARE(m_f->chart.plot()->xAxis->range(), expected);
    QCOMPARE(m_f->chart.temperatureGraph()->data()->size(), durations.size());
    QCOMPARE(m_f->chart.ambientGraph()->data()->size(), durations.size());
    QCOMPARE((m_f->chart.temperatureGraph()->data()->constEnd() - 1)->value,
             20.0 + durations.size() - 1);
}

void tst_chartwidget::pausedRefreshKeepsView()
{
    m_f->chart.on_pushButton_startstop_clicked();
    m_f->chart.setAutoFit(false);
    m_f->chart.on_pushButton_hc_clicked();
    QVERIFY(m_f->chart.isPaused());
    QCOMPARE(stripCaption(m_f->chart, "pushButton_hc"), QStringLiteral("继续"));
    m_f->chart.samples().append(100.0, 20.0, 19.0);
    m_f->chart.refreshView();
    QCOMPARE(m_f->chart.plot()->xAxis->range(), QCPRange(0, 30));
    QCOMPARE(m_f->chart.temperatureGraph()->data()->size(), 1);
    m_f->chart.on_pushButton_hc_clicked();
    QCOMPARE(stripCaption(m_f->chart, "pushButton_hc"), QStringLiteral("暂停"));
    m_f->chart.refreshView();
    QCOMPARE(m_f->chart.plot()->xAxis->range(), QCPRange(70, 100));
}

// By default the view follows the readings, until the user moves it; then it holds until asked.
void tst_chartwidget::followsReadingsUntilTheUserMovesTheView()
{
    ChartWidget &chart = m_f->chart;
    chart.on_pushButton_startstop_clicked();
    chart.samples().append(1.0, 250.0, 23.0);
    chart.samples().append(2.0, 252.0, 23.0);
    chart.refreshView();
    QVERIFY(chart.isFollowing());
    QVERIFY(chart.plot()->yAxis->range().contains(250.0));
    QVERIFY(chart.plot()->yAxis->range().contains(252.0));
    chart.verticalZoomin();
    QVERIFY(!chart.isFollowing());
    const QCPRange held = chart.plot()->yAxis->range();
    chart.samples().append(3.0, 400.0, 23.0);
    chart.refreshView();
    QCOMPARE(chart.plot()->yAxis->range(), held);
    chart.followReadings();
    QVERIFY(chart.isFollowing());
    QVERIFY(chart.plot()->yAxis->range().contains(400.0));
    QCOMPARE(chart.plot()->xAxis->range(), QCPRange(1, 3));
}

void tst_chartwidget::autoFit_data()
{
    QTest::addColumn<bool>("ambient");
    QTest::addColumn<QCPRange>("expected");
    // Object 20..35, ambient -40..90; 5 % of the span above and below.
    QTest::newRow("object only") << false << QCPRange(19.25, 35.75);
    QTest::newRow("with ambient") << true << QCPRange(-46.5, 96.5);
}

void tst_chartwidget::autoFit()
{
    QFETCH(bool, ambient);
    QFETCH(QCPRange, expected);
    const double gap = std::nan("");
    m_f->chart.on_pushButton_startstop_clicked();
    m_f->chart.setAutoFit(true);
    m_f->chart.setAmbientVisible(ambient);
    m_f->chart.samples().append(1.0, 20.0, -40.0);
    m_f->chart.samples().append(2.0, 35.0, 90.0);
    m_f->chart.samples().append(2.5, gap, gap);
    m_f->chart.samples().append(3.0, 25.0, 10.0);
    for (int mode : {0, 1}) {
        m_f->chart.setViewMode(mode);
        m_f->chart.refreshView();
        QCOMPARE(m_f->chart.plot()->xAxis->range(), QCPRange(1, 3));
        QCOMPARE(m_f->chart.plot()->yAxis->range(), expected);
    }
    // A flat curve keeps the span and centres on the value, like QCustomPlot's rescale.
    m_f->chart.on_pushButton_startstop_clicked();
    m_f->chart.on_pushButton_startstop_clicked();
    m_f->chart.samples().append(5.0, 50.0, ambient ? 50.0 : 0.0);
    m_f->chart.refreshView();
    QCOMPARE(m_f->chart.plot()->yAxis->range().center(), 50.0);
    QCOMPARE(m_f->chart.plot()->yAxis->range().size(), expected.size());
}

void tst_chartwidget::startWhilePausedClearsPause()
{
    m_f->chart.on_pushButton_hc_clicked();
    QVERIFY(m_f->chart.isPaused());
    m_f->chart.on_pushButton_startstop_clicked();
    QVERIFY(!m_f->chart.isPaused());
    QCOMPARE(stripCaption(m_f->chart, "pushButton_hc"), QStringLiteral("暂停"));
}

void tst_chartwidget::startStopSignalsAndCaptions()
{
    QSignalSpy recordingChanged(&m_f->chart, &ChartWidget::recordingChanged);
    m_f->settings.values[QStringLiteral("ChartLineCache")] = QStringLiteral("2");
    m_f->chart.samples().append(1.0, 20.0, 19.0);

    m_f->chart.on_pushButton_startstop_clicked();
    QCOMPARE(recordingChanged.takeFirst().at(0).toBool(), true);
    QCOMPARE(m_f->chart.session().interval(), kNoTicks.toInt());
    QCOMPARE(stripCaption(m_f->chart, "pushButton_startstop"), QStringLiteral("停止"));
    QCOMPARE(m_f->chart.cacheSize(), 2000);
    QCOMPARE(m_f->chart.samples().size(), 0);
    QVERIFY(qAbs(m_f->chart.recordHeader().startMsecs - QDateTime::currentMSecsSinceEpoch())
            < 60000);

    m_f->chart.samples().append(1.0, 20.0, 19.0);
    m_f->chart.on_pushButton_startstop_clicked();
    QCOMPARE(recordingChanged.takeFirst().at(0).toBool(), false);
    QVERIFY(!m_f->chart.isRecording());
    QCOMPARE(stripCaption(m_f->chart, "pushButton_startstop"), QStringLiteral("开始"));
    QCOMPARE(m_f->chart.samples().size(), 1); // stopping keeps the samples
}

void tst_chartwidget::samplesWithoutRecentReadingAreGaps()
{
    m_f->settings.values[QStringLiteral("ChartLineFPS")] = QStringLiteral("100");
    ChartWidget &chart = m_f->chart;
    // No row before the first reading; then readings, then once they stopped for over a second,
    // then at once when the instrument is known to be gone.
    chart.on_pushButton_startstop_clicked();
    QTest::qWait(300);
    QCOMPARE(chart.samples().size(), 0);
    QElapsedTimer reading;
    reading.start();
    while (reading.elapsed() < 500) {
        feedReading(chart, 30.0, 20.0);
        QTest::qWait(20);
    }
    RecordSeries series = chart.samples().snapshot();
    QCOMPARE(series.temperatures.constLast(), 30.0);
    QCOMPARE(series.ambients.constLast(), 20.0);
    QTest::qWait(1600);
    series = chart.samples().snapshot();
    QVERIFY(std::isnan(series.temperatures.constLast()) && std::isnan(series.ambients.constLast()));
    feedReading(chart, 30.0, 20.0);
    chart.session().takeSample();
    QCOMPARE(chart.samples().snapshot().temperatures.constLast(), 30.0);
    chart.session().setConnectionState(Instrument::ConnectionState::Lost);
    chart.session().takeSample();
    QVERIFY(std::isnan(chart.samples().snapshot().temperatures.constLast()));
    // The extremes leave the gaps out.
    const SampleStore::Tail tail = chart.samples().tailSince(0, 0);
    QCOMPARE(tail.minTemperature, 30.0);
    QCOMPARE(tail.maxTemperature, 30.0);
    QVERIFY(isSampleGap(1001, 100) && !isSampleGap(1000, 100));
    QVERIFY(isSampleGap(1001, 500) && !isSampleGap(1000, 500));
    QVERIFY(isSampleGap(4001, 2000) && !isSampleGap(4000, 2000));
}

void tst_chartwidget::sampleLimitStopsSamplingOnce()
{
    m_f->settings.values[QStringLiteral("ChartLineFPS")] = QStringLiteral("10");
    feedReading(m_f->chart, 30.0);
    m_f->chart.on_pushButton_startstop_clicked();
    m_f->chart.setCacheSize(5);
    feedReading(m_f->chart, 30.0);
    QTRY_COMPARE_WITH_TIMEOUT(m_f->prompter.messages.size(), 1, 30000);
    const RecordingPrompter::Message info = m_f->prompter.messages.first();
    QCOMPARE(info.icon, QMessageBox::Information);
    QVERIFY(info.hasParent);
    QCOMPARE(info.title, QStringLiteral("提示"));
    QCOMPARE(info.text, QStringLiteral("记录数据结束"));
    QCOMPARE(m_f->chart.samples().size(), 5);
    // Ended, and the button says so.
    QVERIFY(!m_f->chart.isRecording());
    QCOMPARE(stripCaption(m_f->chart, "pushButton_startstop"), QStringLiteral("开始"));

    // Sampling has stopped for good: no second box, no sixth sample.
    QTest::qWait(200);
    QCOMPARE(m_f->prompter.messages.size(), 1);
    QCOMPARE(m_f->chart.samples().size(), 5);

    m_f->settings.values[QStringLiteral("ChartLineFPS")] = kNoTicks;
    feedReading(m_f->chart, 30.0);
    m_f->chart.on_pushButton_startstop_clicked();
    QVERIFY(m_f->chart.isRecording());
    QCOMPARE(m_f->chart.samples().size(), 1);
}

void tst_chartwidget::sampleLimitOfZeroEndsAtOnce()
{
    m_f->settings.values[QStringLiteral("ChartLineFPS")] = QStringLiteral("10");
    m_f->settings.values[QStringLiteral("ChartLineCache")] = QStringLiteral("not a number");
    feedReading(m_f->chart, 30.0);
    m_f->chart.on_pushButton_startstop_clicked();
    QTRY_COMPARE_WITH_TIMEOUT(m_f->prompter.messages.size(), 1, 30000);
    QCOMPARE(m_f->prompter.messages.first().text, QStringLiteral("记录数据结束"));
    QCOMPARE(m_f->chart.samples().size(), 0);
}

void tst_chartwidget::ambientVisibility()
{
    // Twice each way: showing again must not add a second item.
    for (bool on : {true, true, false, false, true}) {
        m_f->chart.setAmbientVisible(on);
        QCOMPARE(m_f->chart.ambientGraph()->visible(), on);
        QCOMPARE(m_f->chart.plot()->legend->hasItemWithPlottable(m_f->chart.ambientGraph()), on);
        QCOMPARE(m_f->chart.plot()->legend->itemCount(), on ? 2 : 1);
        QVERIFY(m_f->chart.plot()->legend->hasItemWithPlottable(m_f->chart.temperatureGraph()));
    }
}

void tst_chartwidget::zoomPopups()
{
    m_f->chart.on_pushButton_horizontal_clicked();
    QCOMPARE(openPopups().size(), 1);
    QPointer<ZoomScale> first = openPopups().first();
    // Pressing the same zoom button again replaces the popup.
    m_f->chart.on_pushButton_horizontal_clicked();
    QVERIFY(first.isNull());
    QCOMPARE(openPopups().size(), 1);
    m_f->chart.on_pushButton_vertical_clicked();
    QCOMPARE(openPopups().size(), 2);

    ZoomScale *horizontal = openPopups().first();
    for (ZoomScale *popup : openPopups()) {
        if (popup->pos().y() < horizontal->pos().y())
            horizontal = popup;
    }
    m_f->chart.plot()->xAxis->setRange(0, 12);
    horizontal->findChild<QPushButton *>(QStringLiteral("pushButton_zoomin"))->click();
    QCOMPARE(m_f->chart.plot()->xAxis->range().size(), 10.0);
    horizontal->findChild<QPushButton *>(QStringLiteral("pushButton_zoomout"))->click();
    QCOMPARE(m_f->chart.plot()->xAxis->range().size(), 12.0);

    QPointer<ZoomScale> ending = horizontal;
    emit horizontal->dismissed();
    QTRY_VERIFY(ending.isNull());
    QCOMPARE(openPopups().size(), 1);
}

void tst_chartwidget::languageChange()
{
    EnglishAxis english;
    QCoreApplication::installTranslator(&english);
    // The application posts the change to its windows.
    QTRY_COMPARE(m_f->chart.plot()->xAxis->label(), QStringLiteral("Time (s)"));
    QCOMPARE(m_f->chart.temperatureGraph()->name(), QStringLiteral("Object"));
    QCOMPARE(m_f->chart.ambientGraph()->name(), QStringLiteral("环温"));
    QCOMPARE(stripCaption(m_f->chart, "pushButton_mode"), QStringLiteral("模式2"));
    QCOMPARE(stripCaption(m_f->chart, "pushButton_startstop"), QStringLiteral("开始"));
    QCoreApplication::removeTranslator(&english);
    QTRY_COMPARE(m_f->chart.plot()->xAxis->label(), QStringLiteral("时间(秒)"));

    m_f->chart.on_pushButton_startstop_clicked();
    m_f->chart.on_pushButton_mode_clicked();
    m_f->chart.on_pushButton_hc_clicked();
    m_f->chart.setUnit(1);
    QEvent change(QEvent::LanguageChange);
    QCoreApplication::sendEvent(&m_f->chart, &change);
    QCOMPARE(stripCaption(m_f->chart, "pushButton_startstop"), QStringLiteral("停止"));
    QCOMPARE(stripCaption(m_f->chart, "pushButton_mode"), QStringLiteral("模式1"));
    QCOMPARE(stripCaption(m_f->chart, "pushButton_hc"), QStringLiteral("继续"));
    QCOMPARE(m_f->chart.plot()->yAxis->label(), QStringLiteral("温度(℉)"));
}

void tst_chartwidget::stopAndCloseStopsSampling()
{
    m_f->settings.values[QStringLiteral("ChartLineFPS")] = QStringLiteral("10");
    feedReading(m_f->chart, 30.0);
    m_f->chart.on_pushButton_startstop_clicked();
    QTRY_VERIFY(m_f->chart.samples().size() > 0);
    m_f->chart.stopAndClose();
    QVERIFY(!m_f->chart.isVisible());
    // The stop travels to the sampling thread; once there, the count freezes.
    int previous = -1;
    auto frozen = [&] {
        const int now = m_f->chart.samples().size();
        QTest::qWait(200);
        return std::exchange(previous, now) == now && m_f->chart.samples().size() == now;
    };
    QTRY_VERIFY_WITH_TIMEOUT(frozen(), 30000);
}

QTEST_MAIN(tst_chartwidget)
#include "tst_chartwidget.moc"
