#include "ttwidget.h"

#include "ambrelescale.h"
#include "chartprompter.h"
#include "chartresources.h"
#include "chartsettings.h"
#include "collect.h"
#include "navbutton.h"
#include "temperatureunit.h"
#include "waitdialog.h"
#include "writefilethread.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QSpacerItem>
#include <QTimer>
#include <QVBoxLayout>

#include <qcustomplot.h>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

constexpr int kRefreshMs = 30;
constexpr double kZoomFactor = 1.2;
// Scrolling window width after leaving the whole-recording view, at most.
constexpr double kScrollWindowSeconds = 30.0;
constexpr double kMinXSpan = 1.0;
constexpr double kMaxXSpan = 100000.0;
constexpr double kMinYSpan = 0.1;
constexpr double kMaxYSpan = 10000.0;
constexpr double kLowestTemperature = -50.0;

ChartPrompter standardPrompter;

NavButton *addStripButton(QWidget *strip, const QString &name)
{
    auto *button = new NavButton(strip);
    button->setObjectName(name);
    strip->layout()->addWidget(button);
    return button;
}

void styleAxis(QCPAxis *axis)
{
    const QColor black(0, 0, 0);
    axis->setTickLabelColor(black);
    axis->setLabelColor(black);
    axis->setBasePen(QPen(black));
    axis->setTickPen(QPen(black));
    axis->setSubTickPen(QPen(black));
    QFont font = axis->labelFont();
    font.setPixelSize(14);
    axis->setLabelFont(font);
}

// Fits an axis to [low, high] the way QCustomPlot's own rescale does: a range
// of zero width keeps the current span and only centres on the value.
void fitAxis(QCPAxis *axis, double low, double high)
{
    if (QCPRange::validRange(low, high)) {
        axis->setRange(low, high);
        return;
    }
    const double centre = (low + high) * 0.5;
    const double halfSpan = axis->range().size() * 0.5;
    axis->setRange(centre - halfSpan, centre + halfSpan);
}

// Text that is not a number counts as 0.
int settingInt(const QString &text)
{
    return text.toInt(nullptr, 10);
}

// "ChartLineCache" counts thousands; a hand-edited huge value saturates.
int samplesFromThousands(int thousands)
{
    return int(std::clamp<qint64>(qint64(thousands) * 1000, INT_MIN, INT_MAX));
}

} // namespace

ttwidget::ttwidget(QWidget *parent)
    : QWidget(parent)
    , m_prompter(&standardPrompter)
{
    m_readingClock.start();
    initChartResources();
    buildForm();
    connect(this, &ttwidget::occurerror, this, &ttwidget::showErrorInfo);

    setupPlot();
    applyChartSettings();

    m_collect = std::make_unique<Collect>();
    connect(this, &ttwidget::startcollect, m_collect.get(), &Collect::start);
    connect(this, &ttwidget::stopcollect, m_collect.get(), &Collect::stop);
    connect(this, &ttwidget::stopcollecttips, this, &ttwidget::stopcollectinfo);
    connect(m_collect.get(), &Collect::timeOut, this, &ttwidget::Recording, Qt::DirectConnection);

    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setTimerType(Qt::CoarseTimer);
    connect(m_refreshTimer, &QTimer::timeout, this, &ttwidget::refreshView);
    m_refreshTimer->start(kRefreshMs);
    m_menuWidget->hide();
}

ttwidget::~ttwidget()
{
    // The sampling thread calls into this object; it must be gone first.
    m_collect.reset();
}

void ttwidget::buildForm()
{
    setObjectName(QStringLiteral("ttwidget"));
    resize(945, 571);
    auto *layout = new QHBoxLayout(this);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 1, 1, 1);

    m_graphicWidget = new QWidget(this);
    m_graphicWidget->setObjectName(QStringLiteral("graphicwidget"));
    layout->addWidget(m_graphicWidget, 1);

    m_menuWidget = new QWidget(this);
    m_menuWidget->setObjectName(QStringLiteral("widget_menu"));
    auto *strip = new QVBoxLayout(m_menuWidget);
    strip->setSpacing(2);
    strip->setContentsMargins(1, 1, 1, 1);
    strip->addItem(new QSpacerItem(20, 307, QSizePolicy::Minimum, QSizePolicy::Expanding));
    m_startStopButton = addStripButton(m_menuWidget, QStringLiteral("pushButton_startstop"));
    m_pauseButton = addStripButton(m_menuWidget, QStringLiteral("pushButton_hc"));
    m_modeButton = addStripButton(m_menuWidget, QStringLiteral("pushButton_mode"));
    m_horizontalButton = addStripButton(m_menuWidget, QStringLiteral("pushButton_horizontal"));
    m_horizontalButton->setIconSize(QSize(30, 30));
    m_verticalButton = addStripButton(m_menuWidget, QStringLiteral("pushButton_vertical"));
    m_verticalButton->setIconSize(QSize(40, 50));
    m_exportButton = addStripButton(m_menuWidget, QStringLiteral("pushButton_export"));
    layout->addWidget(m_menuWidget);

    m_startStopButton->setText(tr("开始"));
    m_pauseButton->setText(tr("暂停"));
    m_modeButton->setText(tr("全局"));
    m_horizontalButton->setText(tr("水平缩放"));
    m_verticalButton->setText(tr("垂直缩放"));
    m_exportButton->setText(tr("保存曲线"));
    QMetaObject::connectSlotsByName(this);
}

void ttwidget::setupPlot()
{
    // Outside the layout: resizeEvent keeps it at the size of graphicwidget.
    plot = new QCustomPlot(this);
    plot->setObjectName(QStringLiteral("plot"));
    plot->move(0, 0);
    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom | QCP::iSelectPlottables
                          | QCP::iSelectAxes | QCP::iSelectLegend);
    plot->xAxis->setLabel(tr("时间(秒)"));
    plot->yAxis->setLabel(tr("温度(℃)"));
    plot->legend->setVisible(true);
    plot->setBackground(QBrush(QColor(255, 255, 255)));
    // A long recording squeezed into the whole view zig-zags within every pixel
    // column; stroking that as one 2 px polyline costs hundreds of ms, drawing it
    // segment by segment a few, for the same picture bar the line joins.
    plot->setPlottingHint(QCP::phFastPolylines, true);
    styleAxis(plot->xAxis);
    styleAxis(plot->yAxis);

    plot->yAxis->setRange(0, 100);
    connect(plot->yAxis,
            qOverload<const QCPRange &>(&QCPAxis::rangeChanged),
            this,
            &ttwidget::yAxisRangeChanged);
    connect(plot->xAxis,
            qOverload<const QCPRange &>(&QCPAxis::rangeChanged),
            this,
            &ttwidget::xAxisRangeChanged);

    temperatureGraph = plot->addGraph(plot->xAxis, plot->yAxis);
    temperatureGraph->setPen(QPen(QColor(255, 128, 0), 2));
    temperatureGraph->setName(tr("实温"));
    ambientGraph = plot->addGraph(plot->xAxis, plot->yAxis);
    ambientGraph->setPen(QPen(QColor(156, 156, 156), 2));
    ambientGraph->setName(tr("环温"));
    setAmbientVisible(ambientVisible);

    plot->xAxis->setRange(0, 30);
}

void ttwidget::applyChartSettings()
{
    ChartSettingsStore &settings = chartSettingsStore();
    const QString cache = settings.value(QStringLiteral("ChartLineCache"), QStringLiteral("1000"));
    if (!cache.isEmpty())
        setCacheSize(samplesFromThousands(settingInt(cache)));
    const QString interval = settings.value(QStringLiteral("ChartLineFPS"), QStringLiteral("10"));
    if (!interval.isEmpty())
        setRecordInterval(settingInt(interval));
}

void ttwidget::setUnit(int code)
{
    if (code == 1)
        plot->yAxis->setLabel(tr("温度(℉)"));
    else if (code == 2)
        plot->yAxis->setLabel(tr("温度(℃)"));
    const int previous = unit;
    unit = code;
    if (code != previous)
        convertUnit(previous, code);
}

void ttwidget::setCacheSize(int n)
{
    m_samples.reset(n);
    m_cacheSize = n;
}

void ttwidget::setRecordInterval(int ms)
{
    m_recordInterval = ms;
}

void ttwidget::setAmbientVisible(bool on)
{
    ambientGraph->setVisible(on);
    // A hidden legend item would still hold its row.
    if (on)
        ambientGraph->addToLegend();
    else
        ambientGraph->removeFromLegend();
    plot->replot(QCustomPlot::rpQueuedReplot);
}

void ttwidget::stopAndClose()
{
    emit stopcollect();
    close();
}

RecordHeader ttwidget::recordHeader() const
{
    RecordHeader header;
    header.application = QCoreApplication::applicationName();
    // Without a recording of this session the export is the best start time known.
    header.startMsecs = m_startMsecs.value_or(QDateTime::currentMSecsSinceEpoch());
    header.emissivity = emissivity;
    header.unit = unit;
    header.recordInterval = m_recordInterval;
    return header;
}

void ttwidget::setPrompter(ChartPrompter *prompter)
{
    m_prompter = prompter ? prompter : &standardPrompter;
}

void ttwidget::UpdateTemp(double v)
{
    m_latestTemperature = v;
    m_latestAt = m_readingClock.elapsed();
}

void ttwidget::UpdateTempAmb(double v)
{
    m_latestAmbient = v;
}

void ttwidget::Recording()
{
    if (!recording)
        return;
    QMutexLocker lock(&m_samplingLock);
    // A reading that stopped coming is not repeated as if it were live.
    const qint64 latestAt = m_latestAt;
    const bool gap = latestAt < 0 || isSampleGap(m_readingClock.elapsed() - latestAt, m_recordInterval);
    const double nan = std::nan("");
    if (!m_samples.appendNow(gap ? nan : m_latestTemperature.load(), gap ? nan : m_latestAmbient.load(), m_cacheSize)) {
        // Reaches Collect::stop on this thread at once, so no further tick follows.
        emit stopcollect();
        emit stopcollecttips();
    }
}

void ttwidget::on_pushButton_startstop_clicked()
{
    if (!recording)
        applyChartSettings();
    recording = !recording;
    if (!recording) {
        m_startStopButton->setText(tr("开始"));
        emit stopcollect();
    } else {
        m_samples.restart();
        m_startStopButton->setText(tr("停止"));
        m_startTime = QDateTime::currentDateTime();
        if (paused) {
            paused = false;
            m_pauseButton->setText(tr("暂停"));
        }
        emit startcollect(m_recordInterval);
        m_startMsecs = m_startTime.toMSecsSinceEpoch();
    }
    emit startstop(recording);
}

void ttwidget::on_pushButton_hc_clicked()
{
    paused = !paused;
    m_pauseButton->setText(paused ? tr("继续") : tr("暂停"));
}

void ttwidget::on_pushButton_mode_clicked()
{
    if (viewMode == 0) {
        viewMode = 1;
        return;
    }
    viewMode = 0;
    if (m_samples.size() == 0)
        return;
    const QCPRange range = plot->xAxis->range();
    const double upper = std::max(range.upper, m_samples.lastDuration());
    const double width = std::trunc(std::min(range.size(), kScrollWindowSeconds));
    plot->xAxis->setRange(upper - width, upper);
}

void ttwidget::refreshView()
{
    if (!recording)
        return;
    // Only the samples added since the last refresh travel to the graphs, so
    // the cost of a refresh does not grow with the recording.
    const SampleStore::Tail tail = m_samples.tailSince(m_handedGeneration, m_handedCount);
    if (tail.generation != m_handedGeneration) {
        temperatureGraph->data()->clear();
        ambientGraph->data()->clear();
    }
    temperatureGraph->data()->add(tail.temperature, true);
    ambientGraph->data()->add(tail.ambient, true);
    m_handedGeneration = tail.generation;
    m_handedCount = tail.count;

    if (paused)
        return;
    if (tail.count > 0) {
        if (viewMode == 1) {
            plot->xAxis->setRange(tail.firstDuration, tail.lastDuration);
        } else {
            const QCPRange range = plot->xAxis->range();
            const double upper = std::max(range.upper, tail.lastDuration);
            plot->xAxis->setRange(upper - range.size(), upper);
        }
    }
    if (autoFit)
        fitToTemperatures(tail);
    plot->replot(QCustomPlot::rpRefreshHint);
}

void ttwidget::fitToTemperatures(const SampleStore::Tail &tail)
{
    if (tail.count == 0)
        return;
    fitAxis(plot->xAxis, tail.firstDuration, tail.lastDuration);
    const QCPRange values = autoFitRange(tail, ambientGraph->visible(), plot->yAxis->range().size());
    if (QCPRange::validRange(values))
        plot->yAxis->setRange(values);
}

void ttwidget::convertUnit(int from, int to)
{
    if (!TemperatureUnit::isKnown(from) || !TemperatureUnit::isKnown(to))
        return;
    const auto convert = [from, to](double value) { return TemperatureUnit::convert(value, from, to); };
    {
        QMutexLocker lock(&m_samplingLock);
        m_latestTemperature = convert(m_latestTemperature);
        m_latestAmbient = convert(m_latestAmbient);
        m_samples.convertUnit(from, to);
    }
    for (QCPGraph *graph : {temperatureGraph, ambientGraph})
        for (QCPGraphData &point : *graph->data())
            point.value = convert(point.value);
    const QCPRange values = plot->yAxis->range();
    plot->yAxis->setRange(convert(values.lower), convert(values.upper));
    importMax = float(convert(importMax));
    importMin = float(convert(importMin));
    plot->replot(QCustomPlot::rpQueuedReplot);
}

void ttwidget::openScale(std::unique_ptr<AmbreleScale> &scale,
                         void (ttwidget::*zoomin)(),
                         void (ttwidget::*zoomout)(),
                         void (ttwidget::*destroyed)(),
                         int row)
{
    scale = std::make_unique<AmbreleScale>();
    // Queued: the popup announces its end from inside its own timer event.
    connect(scale.get(), &AmbreleScale::disapper, this, destroyed, Qt::QueuedConnection);
    connect(scale.get(), &AmbreleScale::zoomin_clicked, this, zoomin);
    connect(scale.get(), &AmbreleScale::zoomout_clicked, this, zoomout);
    // Stacked at the plot's top right corner, horizontal above vertical.
    const QPoint corner = mapToGlobal(QPoint(width() - scale->width(), row * scale->height()));
    scale->move(corner);
    scale->show();
}

void ttwidget::on_pushButton_horizontal_clicked()
{
    openScale(m_hScale,
              &ttwidget::horizontalZoomin,
              &ttwidget::horizontalZoomout,
              &ttwidget::hScaleDestory,
              0);
}

void ttwidget::on_pushButton_vertical_clicked()
{
    openScale(m_vScale,
              &ttwidget::verticalZoomin,
              &ttwidget::verticalZoomout,
              &ttwidget::vScaleDestory,
              1);
}

void ttwidget::hScaleDestory()
{
    m_hScale.reset();
}

void ttwidget::vScaleDestory()
{
    m_vScale.reset();
}

void ttwidget::zoomStep(QCPAxis *axis, bool zoomIn, double limit)
{
    if (!plot->isVisible())
        return;
    const QCPRange range = axis->range();
    const double span = range.size();
    if (zoomIn ? span <= limit : span >= limit)
        return;
    const double d = zoomIn ? (span - span / kZoomFactor) * 0.5 : (span * kZoomFactor - span) * 0.5;
    axis->setRange(zoomIn ? range.lower + d : range.lower - d,
                   zoomIn ? range.upper - d : range.upper + d);
    plot->replot(QCustomPlot::rpRefreshHint);
}

void ttwidget::horizontalZoomin()
{
    zoomStep(plot->xAxis, true, kMinXSpan);
}

void ttwidget::horizontalZoomout()
{
    zoomStep(plot->xAxis, false, kMaxXSpan);
}

void ttwidget::verticalZoomin()
{
    zoomStep(plot->yAxis, true, kMinYSpan);
}

void ttwidget::verticalZoomout()
{
    zoomStep(plot->yAxis, false, kMaxYSpan);
}

void ttwidget::xAxisRangeChanged(const QCPRange &range)
{
    if (range.lower < 0)
        plot->xAxis->setRangeLower(0);
}

void ttwidget::yAxisRangeChanged(const QCPRange &range)
{
    const double lowest = TemperatureUnit::fromCelsius(kLowestTemperature, unit);
    if (range.lower < lowest)
        plot->yAxis->setRangeLower(lowest);
}

void ttwidget::stopcollectinfo()
{
    m_prompter->message(QMessageBox::Information, this, tr("提示"), tr("记录数据结束"));
}

void ttwidget::showErrorInfo(const QString &text)
{
    m_prompter->message(QMessageBox::Critical, nullptr, tr("错误"), text);
}

bool ttwidget::refuseWhileRecording()
{
    if (!recording)
        return false;
    m_prompter->message(QMessageBox::Warning, nullptr, tr("提示"), tr("正在记录曲线，请先停止！"));
    return true;
}

bool ttwidget::runFileJob(WriteFileThread &job)
{
    WaitDialog dialog;
    connect(this, &ttwidget::writefinish, &dialog, &WaitDialog::accept);
    connect(this, &ttwidget::progress, &dialog, &WaitDialog::Progress);
    job.start(QThread::InheritPriority);
    dialog.exec();
    job.wait();
    return job.succeeded();
}

void ttwidget::on_pushButton_export_clicked()
{
    // A running recording is saved as far as it goes and keeps running.
    const QString path = m_prompter->saveFileName(this);
    if (path.isEmpty())
        return;
    WriteFileThread job(this, path, WriteFileThread::WriteMode);
    if (runFileJob(job))
        m_prompter->message(QMessageBox::Information,
                            nullptr,
                            tr("导出数据成功"),
                            tr("信息已保存在%1！").arg(path),
                            tr("确定"));
}

void ttwidget::loadRecord(const QString &path)
{
    if (refuseWhileRecording())
        return;
    WriteFileThread job(this, path, WriteFileThread::ReadMode);
    if (runFileJob(job))
        applyImport(job.takeImport());
}

void ttwidget::applyImport(RecordImport imported)
{
    // A file without these header lines leaves the chart's own values.
    unit = imported.unit.value_or(unit);
    emissivity = imported.emissivity.value_or(emissivity);
    importMax = imported.maxTemperature;
    importMin = imported.minTemperature;
    m_startMsecs.reset();

    const RecordSeries &series = imported.series;
    temperatureGraph->setData(series.durations, series.temperatures);
    ambientGraph->setData(series.durations, series.ambients);
    const bool any = !series.durations.isEmpty();
    const double first = any ? series.durations.constFirst() : 0.0;
    const double last = any ? series.durations.constLast() : 0.0;
    m_samples.replace(std::move(imported.series));
    if (imported.dataCount != 0)
        m_cacheSize = imported.dataCount;

    if (any) {
        setUnit(unit);
        // A single sample gives an empty range, which the plot ignores.
        plot->xAxis->setRange(first, last);
        plot->yAxis->setRange(double(importMin - 10.0f), double(importMax + 10.0f));
    }
    plot->replot(QCustomPlot::rpRefreshHint);
}

void ttwidget::retranslate()
{
    plot->xAxis->setLabel(tr("时间(秒)"));
    setUnit(unit);
    m_startStopButton->setText(recording ? tr("停止") : tr("开始"));
    m_modeButton->setText(viewMode != 0 ? tr("模式1") : tr("模式2"));
    m_pauseButton->setText(paused ? tr("继续") : tr("暂停"));
    m_horizontalButton->setText(tr("水平缩放"));
    m_verticalButton->setText(tr("垂直缩放"));
    m_exportButton->setText(tr("保存曲线"));
    temperatureGraph->setName(tr("实温"));
    ambientGraph->setName(tr("环温"));
    plot->replot(QCustomPlot::rpRefreshHint);
}

void ttwidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    plot->resize(m_graphicWidget->size());
}

void ttwidget::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        retranslate();
}
