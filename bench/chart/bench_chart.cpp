// Figures for the chart's hot paths: the 30 ms refresh with a long recording,
// the memory a full default recording takes, and record file speed against a
// plain stdio loop over the same rows. Run a Release build, offscreen.

#include "chartsettings.h"
#include "recordfile.h"
#include "ttwidget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <qcustomplot.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kSamples = 1000000;
constexpr int kRefreshes = 200;
constexpr int kNewPerRefresh = 3; // 30 ms refresh, 10 ms sampling

class BenchSettings : public ChartSettingsStore
{
public:
    QString value(const QString &key, const QString &fallback) const override
    {
        // An interval no tick reaches: the benchmark feeds the samples itself.
        return key == QLatin1String("ChartLineFPS") ? QStringLiteral("100000000") : fallback;
    }
    void setValue(const QString &, const QString &) override {}
    void save() override {}
};

double temperatureAt(int i)
{
    return 25.0 + 10.0 * std::sin(i * 0.001) + (i % 7) * 0.1;
}

long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// Average GUI-thread cost of one refresh in ms, new samples arriving between
// refreshes; `refresh` is what the refresh timer would run.
template<typename Refresh>
double averageRefreshMs(ttwidget &chart, int &next, Refresh refresh)
{
    QElapsedTimer clock;
    qint64 total = 0;
    for (int r = 0; r < kRefreshes; ++r) {
        for (int k = 0; k < kNewPerRefresh; ++k, ++next)
            chart.samples().append(next * 0.01, temperatureAt(next), 20.0);
        clock.start();
        refresh();
        QCoreApplication::processEvents(); // the repaint of the replotted buffer
        total += clock.nsecsElapsed();
    }
    return double(total) / kRefreshes / 1e6;
}

// The old way: every refresh copies the whole series into both graphs.
void fullCopyRefresh(ttwidget &chart)
{
    const RecordSeries series = chart.samples().snapshot();
    chart.temperatureGraph->setData(series.durations, series.temperatures, true);
    chart.ambientGraph->setData(series.durations, series.ambients, true);
    const double last = series.durations.constLast();
    if (chart.viewMode == 1) {
        chart.plot->xAxis->setRange(series.durations.constFirst(), last);
    } else {
        const QCPRange range = chart.plot->xAxis->range();
        const double upper = std::max(range.upper, last);
        chart.plot->xAxis->setRange(upper - range.size(), upper);
    }
    chart.plot->replot(QCustomPlot::rpRefreshHint);
}

void benchRefresh()
{
    BenchSettings settings;
    setChartSettingsStore(&settings);
    {
        ttwidget chart;
        chart.resize(945, 571);
        chart.setAmbientVisible(true);
        chart.show();
        QCoreApplication::processEvents();
        chart.on_pushButton_startstop_clicked();

        const long before = residentKiB();
        int next = 0;
        for (; next < kSamples - kRefreshes * kNewPerRefresh * 4; ++next)
            chart.samples().append(next * 0.01, temperatureAt(next), 20.0);
        QElapsedTimer clock;
        clock.start();
        chart.refreshView();
        std::printf("first hand-over of %d samples: %.1f ms (once)\n",
                    next,
                    clock.nsecsElapsed() / 1e6);

        // Measured before the full-copy runs below, whose garbage would count too.
        const double scrolling = averageRefreshMs(chart, next, [&] { chart.refreshView(); });
        std::printf("resident: %.1f MB with %d samples per curve in store and graphs "
                    "(%.1f MB before the samples)\n",
                    residentKiB() / 1024.0,
                    chart.samples().size(),
                    before / 1024.0);

        for (int mode : {0, 1}) {
            chart.viewMode = mode;
            const char *name = mode == 0 ? "scrolling window" : "whole recording";
            const double tail
                    = mode == 0 ? scrolling
                                : averageRefreshMs(chart, next, [&] { chart.refreshView(); });
            const double full = averageRefreshMs(chart, next, [&] { fullCopyRefresh(chart); });
            // Back in step with what the graphs hold for the next round.
            chart.refreshView();
            std::printf("refresh, %-16s: %6.2f ms new samples only, %6.2f ms full setData copy "
                        "(%d samples per curve)\n",
                        name,
                        tail,
                        full,
                        chart.samples().size());
        }
        chart.autoFit = true;
        const double fitted = averageRefreshMs(chart, next, [&] { chart.refreshView(); });
        std::printf("refresh, whole + auto-fit  : %6.2f ms\n", fitted);
    }
    setChartSettingsStore(nullptr);
}

RecordSeries makeSeries()
{
    RecordSeries series;
    for (int i = 0; i < kSamples; ++i) {
        series.durations.append(i * 0.01 + 0.0003 * (i % 3));
        series.temperatures.append(temperatureAt(i));
        series.ambients.append(20.0 + (i % 11) * 0.1);
    }
    return series;
}

double stdioWriteMs(const char *path, const RecordSeries &series)
{
    QElapsedTimer clock;
    clock.start();
    FILE *out = std::fopen(path, "w");
    std::fprintf(out,
                 "Tevrano\nDate:2026-01-05 14:07:09:123\nEmissivity:0.95\nUnit:2\n"
                 "DataCounts:%d\nIndex,Duration,Temperature,Tamb,Time\n",
                 kSamples);
    for (int i = 0; i < kSamples; ++i) {
        const long ms = 50829123L + i * 10L;
        std::fprintf(out,
                     "%d\t%.2f\t%.1f\t%.1f\t%02ld:%02ld:%02ld:%03ld\n",
                     i + 1,
                     series.durations[i],
                     series.temperatures[i],
                     series.ambients[i],
                     ms / 3600000 % 24,
                     ms / 60000 % 60,
                     ms / 1000 % 60,
                     ms % 1000);
    }
    std::fclose(out);
    return clock.nsecsElapsed() / 1e6;
}

double stdioReadMs(const char *path, int &rows)
{
    QElapsedTimer clock;
    clock.start();
    FILE *in = std::fopen(path, "r");
    char line[256];
    for (int header = 0; header < 6 && std::fgets(line, sizeof line, in); ++header) {
    }
    QVector<double> durations, temperatures, ambients;
    rows = 0;
    while (std::fgets(line, sizeof line, in)) {
        char *field = std::strchr(line, '\t');
        if (!field)
            continue;
        durations.append(std::strtod(field + 1, &field));
        temperatures.append(std::strtod(field + 1, &field));
        ambients.append(std::strtod(field + 1, &field));
        ++rows;
    }
    std::fclose(in);
    return clock.nsecsElapsed() / 1e6;
}

void benchFiles()
{
    const RecordSeries series = makeSeries();
    QTemporaryDir dir;
    const QString ours = dir.filePath(QStringLiteral("ours.txt"));
    const QByteArray baseline = dir.filePath(QStringLiteral("stdio.txt")).toLocal8Bit();
    const RecordHeader header{QStringLiteral("Tevrano"), 1767618429123, 0.95f, 2, 10};

    QElapsedTimer clock;
    clock.start();
    if (!saveRecordFile(ours, header, series))
        qFatal("save failed");
    const double writeMs = clock.nsecsElapsed() / 1e6;
    const double stdioWrite = stdioWriteMs(baseline.constData(), series);

    clock.start();
    RecordImport imported;
    if (!loadRecordFile(ours, imported))
        qFatal("load failed");
    const double readMs = clock.nsecsElapsed() / 1e6;
    int stdioRows = 0;
    const double stdioRead = stdioReadMs(baseline.constData(), stdioRows);

    std::printf("write %d rows: %7.1f ms   fprintf loop: %7.1f ms   ratio %.2f\n",
                kSamples,
                writeMs,
                stdioWrite,
                writeMs / stdioWrite);
    std::printf("read  %d rows: %7.1f ms   strtod loop:  %7.1f ms   ratio %.2f (%d / %d rows)\n",
                kSamples,
                readMs,
                stdioRead,
                readMs / stdioRead,
                int(imported.series.durations.size()),
                stdioRows);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Tevrano"));
    benchRefresh();
    benchFiles();
    return 0;
}
