// Sampling on its own thread while the GUI thread feeds readings, refreshes,
// exports snapshots and restarts recordings. Meant for AddressSanitizer: a
// torn hand-over or a reallocation under a reader shows up as a crash or a
// report, a lost or doubled sample as a failed comparison.

#include "../chartfixtures.h"
#include "chartlod.h"
#include "chartwidget.h"

#include <QElapsedTimer>
#include <QtTest>

#include <qcustomplot.h>

namespace {

constexpr int kRunMs = 2500;
// Rounds each stress loop runs at least, however slow a loaded machine makes them.
constexpr int kMinRounds = 12;

// Until no sample arrives for a while: the sampling thread has taken the stop.
bool waitUntilFrozen(const ChartWidget &chart)
{
    int previous = -1;
    for (int round = 0; round < 150; ++round) {
        const int now = chart.samples().size();
        if (now == previous)
            return true;
        previous = now;
        QTest::qWait(200);
    }
    return false;
}

} // namespace

class tst_SamplingStress : public QObject
{
    Q_OBJECT

private slots:
    void samplingWhileRefreshing_data();
    void samplingWhileRefreshing();
    void restartsWhileSampling();
};

void tst_SamplingStress::samplingWhileRefreshing_data()
{
    QTest::addColumn<QString>("interval");
    QTest::addColumn<int>("viewMode");
    QTest::newRow("10 ms, scrolling") << "10" << 0;
    QTest::newRow("10 ms, whole recording") << "10" << 1;
    QTest::newRow("1 ms, scrolling") << "1" << 0;
}

void tst_SamplingStress::samplingWhileRefreshing()
{
    QFETCH(QString, interval);
    QFETCH(int, viewMode);
    MemorySettings settings;
    settings.values[QStringLiteral("ChartLineFPS")] = interval;
    RecordingPrompter prompter;
    ChartWidget chart;
    chart.setPrompter(&prompter);
    chart.setViewMode(viewMode);
    chart.setAutoFit(viewMode == 1);
    chart.resize(945, 571);
    chart.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chart));

    chart.on_pushButton_startstop_clicked();
    QElapsedTimer clock;
    clock.start();
    double reading = 0.0;
    int snapshots = 0;
    while (clock.elapsed() < kRunMs || snapshots < kMinRounds) {
        // Rising readings: the series must never go backwards.
        reading += 0.25;
        feedReading(chart, reading, -reading);
        chart.refreshView();
        const RecordSeries snapshot = chart.samples().snapshot();
        QCOMPARE(snapshot.temperatures.size(), snapshot.durations.size());
        QCOMPARE(snapshot.ambients.size(), snapshot.durations.size());
        ++snapshots;
        QCoreApplication::processEvents();
    }
    chart.session().stop();
    QVERIFY(waitUntilFrozen(chart));
    chart.refreshView();

    const RecordSeries series = chart.samples().snapshot();
    const int count = series.durations.size();
    QVERIFY2(count > 50, qPrintable(QStringLiteral("only %1 samples").arg(count)));
    // What the chart draws from holds every sample, in order; the graphs get only the view.
    const ChartSeries &shown = chart.shownSeries();
    QCOMPARE(shown.size(), count);
    for (int i = 0; i < count; ++i) {
        QCOMPARE(shown.keys()[i], series.durations[i]);
        QCOMPARE(shown.values(ChartSeries::Object)[i], series.temperatures[i]);
        QCOMPARE(shown.values(ChartSeries::Ambient)[i], series.ambients[i]);
        // Object and ambient readings arrive one after the other; a sample
        // may fall between them and pair a reading with the ambient before.
        const double ambient = series.ambients[i];
        QVERIFY2(ambient == -series.temperatures[i] || ambient == 0.25 - series.temperatures[i],
                 qPrintable(QString::number(ambient)));
        if (i > 0) {
            QVERIFY(series.durations[i] > series.durations[i - 1]);
            QVERIFY(series.temperatures[i] >= series.temperatures[i - 1]);
        }
    }
    QVERIFY(prompter.messages.isEmpty());
}

void tst_SamplingStress::restartsWhileSampling()
{
    MemorySettings settings;
    settings.values[QStringLiteral("ChartLineFPS")] = QStringLiteral("1");
    settings.values[QStringLiteral("ChartLineCache")] = QStringLiteral("1");
    RecordingPrompter prompter;
    ChartWidget chart;
    chart.setPrompter(&prompter);
    chart.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chart));

    QElapsedTimer clock;
    clock.start();
    int restarts = 0;
    while (clock.elapsed() < kRunMs || restarts < kMinRounds) {
        chart.on_pushButton_startstop_clicked();
        for (int i = 0; i < 5; ++i) {
            feedReading(chart, i);
            chart.refreshView();
            QTest::qWait(1);
        }
        if (restarts % 3 == 0)
            chart.setCacheSize(1000);
        chart.on_pushButton_startstop_clicked();
        ++restarts;
    }
    // One last recording; whatever the earlier ones left, it starts empty.
    chart.on_pushButton_startstop_clicked();
    QTest::qWait(50);
    chart.session().stop();
    QVERIFY(waitUntilFrozen(chart));
    chart.refreshView();
    QCOMPARE(chart.temperatureGraph()->data()->size(), chart.samples().size());
    QVERIFY(chart.samples().size() <= 1000);
}

QTEST_MAIN(tst_SamplingStress)
#include "tst_samplingstress.moc"
