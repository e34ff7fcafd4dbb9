// Figures for the chart's hot paths: the 30 ms refresh of each view with 1 M
// and 10 M samples per curve and of the whole view with 8 instruments' curves, a statistics update,
// the memory they take, the live trend's share of a core, and record file speed against a plain
// stdio loop over the same rows. Run a Release build, offscreen.

#include "chartsettings.h"
#include "chartwidget.h"
#include "recordfile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <qcustomplot.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <sys/resource.h>

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

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
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

// Sample `i` into every instrument's session of the chart.
void appendToAll(ChartWidget &chart, int i)
{
    const QStringList serials = chart.group().serials();
    for (int s = 0; s < serials.size(); ++s)
        chart.group()
                .session(serials[s])
                ->samples()
                .append(i * 0.01, temperatureAt(i) + 5.0 * s, 20.0);
}

// CPU time of the calling thread in ms: on a shared machine the wall time of
// a refresh also counts the other processes' turns.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

struct RefreshCost
{
    double wallMs;
    double cpuMs;
};

// Average GUI-thread cost of one refresh, new samples arriving between
// refreshes; `refresh` is what the refresh timer would run.
template<typename Refresh>
RefreshCost averageRefresh(ChartWidget &chart, int &next, Refresh refresh)
{
    QElapsedTimer clock;
    qint64 wall = 0;
    double cpu = 0.0;
    for (int r = 0; r < kRefreshes; ++r) {
        for (int k = 0; k < kNewPerRefresh; ++k, ++next)
            appendToAll(chart, next);
        const double cpuBefore = threadCpuMs();
        clock.start();
        refresh();
        QCoreApplication::processEvents(); // the repaint of the replotted buffer
        wall += clock.nsecsElapsed();
        cpu += threadCpuMs() - cpuBefore;
    }
    return {double(wall) / kRefreshes / 1e6, cpu / kRefreshes};
}

// Average GUI-thread cost of one statistics update over the whole view.
double statisticsMs(ChartWidget &chart)
{
    constexpr int kUpdates = 20;
    QElapsedTimer clock;
    clock.start();
    for (int u = 0; u < kUpdates; ++u)
        chart.updateStatistics();
    return double(clock.nsecsElapsed()) / kUpdates / 1e6;
}

void benchRefresh(int samples)
{
    ChartWidget chart;
    chart.resize(945, 571);
    chart.setAmbientVisible(true);
    chart.show();
    QCoreApplication::processEvents();
    chart.on_pushButton_startstop_clicked();

    const long before = residentKiB();
    int next = 0;
    for (; next < samples - kRefreshes * kNewPerRefresh * 3; ++next)
        chart.samples().append(next * 0.01, temperatureAt(next), 20.0);
    QElapsedTimer clock;
    clock.start();
    chart.refreshView();
    std::printf("%d samples per curve: first hand-over %.1f ms (once)\n",
                next,
                clock.nsecsElapsed() / 1e6);

    chart.setViewMode(0);
    const RefreshCost scrolling = averageRefresh(chart, next, [&] { chart.refreshView(); });
    chart.setViewMode(1);
    const RefreshCost whole = averageRefresh(chart, next, [&] { chart.refreshView(); });
    chart.setAutoFit(true);
    const RefreshCost fitted = averageRefresh(chart, next, [&] { chart.refreshView(); });
    std::printf("  refresh: scrolling %6.2f ms, whole %6.2f ms, whole + auto-fit %6.2f ms\n"
                "  (GUI-thread CPU:   %6.2f ms,       %6.2f ms,                  %6.2f ms)\n",
                scrolling.wallMs,
                whole.wallMs,
                fitted.wallMs,
                scrolling.cpuMs,
                whole.cpuMs,
                fitted.cpuMs);
    std::printf("  statistics over the whole view (%d samples): %7.3f ms per update\n",
                chart.samples().size(),
                statisticsMs(chart));
    std::printf("  resident: %.1f MB (%.1f MB before the samples; drawn copy with pyramids "
                "%.1f MB)\n",
                residentKiB() / 1024.0,
                before / 1024.0,
                chart.shownSeries().bytes() / 1048576.0);
}

// `instruments` curves of `samples` each, the whole recording in view and fitted.
void benchGroupRefresh(int instruments, int samples)
{
    ChartWidget chart;
    chart.resize(945, 571);
    chart.show();
    QCoreApplication::processEvents();
    chart.on_pushButton_startstop_clicked();
    // Added once recording: sessions held before without an instrument leave the group as it
    // starts.
    for (int i = 1; i < instruments; ++i)
        chart.group().add(QStringLiteral("bench-%1").arg(i));
    if (chart.group().count() != instruments)
        qFatal("the group holds %d sessions, not %d", chart.group().count(), instruments);
    const long before = residentKiB();
    int next = 0;
    for (; next < samples - kRefreshes * kNewPerRefresh; ++next)
        appendToAll(chart, next);
    chart.refreshView();
    chart.setViewMode(1);
    chart.setAutoFit(true);
    const RefreshCost fitted = averageRefresh(chart, next, [&] { chart.refreshView(); });
    std::printf("%d curves x %d samples: refresh of the whole view + auto-fit %6.2f ms "
                "(GUI-thread CPU %6.2f ms); resident %.1f MB (%.1f MB before the samples)\n",
                instruments,
                next,
                fitted.wallMs,
                fitted.cpuMs,
                residentKiB() / 1024.0,
                before / 1024.0);
}

// The reduction alone, as the whole view of 8 instruments asks for it: each series over all its
// keys on 880 pixel columns, new samples arriving between refreshes.
void benchLod()
{
    constexpr int kSeries = 8;
    constexpr int kColumns = 880;
    std::vector<ChartSeries> group(kSeries);
    std::vector<EnvelopeCache> caches(kSeries);
    int next = 0;
    const auto append = [&group](int i) {
        for (int s = 0; s < kSeries; ++s)
            group[s].append(i * 0.01, temperatureAt(i) + 5.0 * s, 20.0);
    };
    for (; next < kSamples; ++next)
        append(next);
    double cpu = 0.0;
    qint64 points = 0;
    for (int r = 0; r < kRefreshes; ++r) {
        for (int k = 0; k < kNewPerRefresh; ++k, ++next)
            append(next);
        const double before = threadCpuMs();
        for (int s = 0; s < kSeries; ++s) {
            const double upper = group[s].keys().constLast();
            points += group[s].view(0.0, upper, kColumns, false, &caches[s]).points[0].size();
        }
        cpu += threadCpuMs() - before;
    }
    std::printf("reduction of %d series x %d samples to %d columns: %6.3f ms per refresh (%lld "
                "points)\n",
                kSeries,
                next,
                kColumns,
                cpu / kRefreshes,
                points / kRefreshes);
}

// The process's CPU time over the wall time, in percent of one core, while a
// timer delivers readings at a poll rate for a few seconds and the chart's own
// refresh timer draws; with `live` off the chart only takes the readings in.
double readingsLoad(bool live)
{
    constexpr int kPollHz = 50;
    constexpr int kSeconds = 10;
    ChartWidget chart;
    chart.resize(945, 571);
    chart.show();
    QCoreApplication::processEvents();
    chart.setLive(live);
    int reading = 0;
    const auto deliver = [&] {
        chart.addAmbientReading(20.0);
        chart.addObjectReading(temperatureAt(reading++));
    };
    // A trend that already holds five minutes of readings.
    for (int i = 0; i < kPollHz * 300; ++i)
        deliver();
    chart.refreshView();
    QCoreApplication::processEvents();

    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, deliver);
    poll.start(1000 / kPollHz);
    const double cpuBefore = cpuSeconds();
    QEventLoop loop;
    QTimer::singleShot(kSeconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    return (cpuSeconds() - cpuBefore) / kSeconds * 100.0;
}

void benchTrend()
{
    const double withTrend = readingsLoad(true);
    const double without = readingsLoad(false);
    std::printf("live trend at 50 readings/s: %.2f %% of one core, %.2f %% without the trend: "
                "the trend's share %.2f %%\n",
                withTrend,
                without,
                withTrend - without);
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
    // Parts may be named to run only those (for a profiler): refresh, group, lod, trend, files.
    const QStringList parts = app.arguments().mid(1);
    const auto wanted = [&parts](const char *part) {
        return parts.isEmpty() || parts.contains(QLatin1String(part));
    };
    BenchSettings settings;
    setChartSettingsStore(&settings);
    if (wanted("refresh")) {
        benchRefresh(1000000);
        benchRefresh(10000000);
    }
    // One instrument beside eight, for what each curve adds.
    if (wanted("group")) {
        for (const int instruments : {1, 8})
            benchGroupRefresh(instruments, 1000000);
    }
    if (wanted("lod"))
        benchLod();
    if (wanted("trend"))
        benchTrend();
    setChartSettingsStore(nullptr);
    if (wanted("files"))
        benchFiles();
    return 0;
}
