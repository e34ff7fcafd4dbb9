#include "chartwidget.h"

#include "chartprompter.h"
#include "chartresources.h"
#include "chartsettings.h"
#include "instrumentset.h"
#include "markerlayer.h"
#include "navbutton.h"
#include "qtcompat.h"
#include "temperatureunit.h"
#include "zoomscale.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QResizeEvent>
#include <QShortcut>
#include <QSpacerItem>
#include <QTimer>
#include <QVBoxLayout>

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

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
// How much of the readings the live trend keeps, and how much more it lets
// gather before it drops the oldest in one go.
constexpr double kTrendSeconds = 300.0;
constexpr double kTrendSlackSeconds = 10.0;
// The trend is redrawn four times a second: a reading is seen by then, and
// each redraw of the whole plot costs more than all the readings in between.
constexpr int kTrendRedrawMs = 250;
// At most four statistics updates a second.
constexpr int kStatisticsMs = 250;
constexpr double kImageScale = 2.0;
const QString kDash = QStringLiteral("—");
// The object curve of each instrument, in the order attached; the first is the orange a single
// instrument always had.
const QColor kCurveColours[] = {QColor(255, 128, 0),
                                QColor(31, 119, 180),
                                QColor(44, 160, 44),
                                QColor(214, 39, 40),
                                QColor(148, 103, 189),
                                QColor(140, 86, 75),
                                QColor(227, 119, 194),
                                QColor(23, 190, 207)};
const QColor kAmbientColour(156, 156, 156);

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

// One line under another; more than four instruments' lines go in two columns, first down the
// left one, while the strip is wide enough for both: each line taken from the chart is one less
// for the curves.
void showStatisticsLines(QLabel *label, const QStringList &lines)
{
    constexpr int kOneColumnLines = 4;
    constexpr int kColumnGap = 24;
    int widest = 0;
    for (const QString &line : lines)
        widest = qMax(widest, label->fontMetrics().horizontalAdvance(line));
    if (lines.size() <= kOneColumnLines
        || 2 * widest + kColumnGap > label->contentsRect().width()) {
        label->setTextFormat(Qt::PlainText);
        label->setText(lines.join(QLatin1Char('\n')));
        return;
    }
    const int rows = int(lines.size() + 1) / 2;
    QString table = QStringLiteral("<table cellspacing=\"0\" style=\"white-space:pre\">");
    for (int row = 0; row < rows; ++row)
        table += QStringLiteral("<tr><td>%1</td><td style=\"padding-left:%2px\">%3</td></tr>")
                         .arg(lines.at(row).toHtmlEscaped())
                         .arg(kColumnGap)
                         .arg(lines.value(row + rows).toHtmlEscaped());
    label->setTextFormat(Qt::RichText);
    label->setText(table + QStringLiteral("</table>"));
}

} // namespace

ChartWidget::ChartWidget(QWidget *parent)
    : QWidget(parent)
    , m_files(
              m_group,
              this,
              [this](RecordImport imported) { applyImport(std::move(imported)); },
              [this] { showGroup(); },
              [this](const QString &path) { return drawImage(path); },
              [this](const QString &serial) { return label(serial); })
{
    initChartResources();
    buildForm();

    setupPlot();
    connect(&m_group, &RecordingGroup::sessionAdded, this, &ChartWidget::addCurves);
    connect(&m_group, &RecordingGroup::sessionRemoved, this, &ChartWidget::removeCurves);
    m_group.add(QString());
    setupInteractions();
    applyChartSettings();

    connect(&m_group, &RecordingGroup::finished, this, &ChartWidget::recordingFinished);

    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setTimerType(Qt::CoarseTimer);
    connect(m_refreshTimer, &QTimer::timeout, this, &ChartWidget::refreshView);
    m_refreshTimer->start(kRefreshMs);
    m_menuWidget->hide();
    m_trendCaption->setText(tr("实时趋势（未记录）"));
    updateStatistics();
}

ChartWidget::~ChartWidget() = default;

void ChartWidget::buildForm()
{
    setObjectName(QStringLiteral("ChartWidget"));
    resize(945, 571);
    auto *layout = new QHBoxLayout(this);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 1, 1, 1);

    auto *column = new QVBoxLayout;
    column->setSpacing(0);
    m_graphicWidget = new QWidget(this);
    m_graphicWidget->setObjectName(QStringLiteral("graphicwidget"));
    column->addWidget(m_graphicWidget, 1);
    m_statisticsLabel = new QLabel(this);
    m_statisticsLabel->setObjectName(QStringLiteral("label_statistics"));
    m_statisticsLabel->setContentsMargins(6, 1, 6, 1);
    // Its lines go in one column or two by the width it is given; they never ask for more.
    m_statisticsLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    column->addWidget(m_statisticsLabel);
    layout->addLayout(column, 1);

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
    NavButton *markerButton = addStripButton(m_menuWidget, QStringLiteral("pushButton_marker"));
    markerButton->setText(tr("添加标记"));
    connect(markerButton, &NavButton::clicked, this, [this] { addMarker(); });
    // Text fields take a plain M for themselves before a window shortcut sees it.
    connect(new QShortcut(QKeySequence(Qt::Key_M), this), &QShortcut::activated, this, [this] {
        addMarker();
    });
    layout->addWidget(m_menuWidget);

    m_startStopButton->setText(tr("开始"));
    m_pauseButton->setText(tr("暂停"));
    m_modeButton->setText(tr("全局"));
    m_horizontalButton->setText(tr("水平缩放"));
    m_verticalButton->setText(tr("垂直缩放"));
    m_exportButton->setText(tr("保存曲线"));
    QMetaObject::connectSlotsByName(this);
}

void ChartWidget::setupPlot()
{
    // Outside the layout, at the size of graphicwidget: that shrinks also when the statistics
    // below it gain lines, with no resize of this widget.
    m_plot = new QCustomPlot(this);
    m_graphicWidget->installEventFilter(this);
    m_plot->setObjectName(QStringLiteral("plot"));
    m_plot->move(0, 0);
    m_plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom | QCP::iSelectPlottables
                            | QCP::iSelectAxes | QCP::iSelectLegend);
    m_plot->xAxis->setLabel(tr("时间(秒)"));
    m_plot->yAxis->setLabel(tr("温度(℃)"));
    m_plot->legend->setVisible(true);
    m_plot->setBackground(QBrush(QColor(255, 255, 255)));
    // The background covers every pixel: a redraw need not repaint the widgets beneath.
    m_plot->setAttribute(Qt::WA_OpaquePaintEvent);
    // A long recording squeezed into the whole view zig-zags within every pixel
    // column; stroking that as one 2 px polyline costs hundreds of ms, drawing it
    // segment by segment a few, for the same picture bar the line joins.
    m_plot->setPlottingHint(QCP::phFastPolylines, true);
    styleAxis(m_plot->xAxis);
    styleAxis(m_plot->yAxis);

    m_plot->yAxis->setRange(0, 100);
    connect(m_plot->yAxis,
            qOverload<const QCPRange &>(&QCPAxis::rangeChanged),
            this,
            &ChartWidget::yAxisRangeChanged);
    connect(m_plot->xAxis,
            qOverload<const QCPRange &>(&QCPAxis::rangeChanged),
            this,
            &ChartWidget::xAxisRangeChanged);

    m_plot->xAxis->setRange(0, 30);
}

void ChartWidget::addCurves(const QString &serial, RecordingSession *session)
{
    const int source = int(m_group.serials().indexOf(serial));
    m_drawn.insert(m_drawn.begin() + source, Drawn{session, {}, 0, 0, {}, 0.0, false, {}, {}});
    for (CurveGraph &shown : m_curves) {
        if (shown.source >= source)
            ++shown.source;
    }
    // m_curves stays in the order of the sources, the object curve first.
    auto at = m_curves.begin() + 2 * source;
    for (const ChartSeries::Curve curve : {ChartSeries::Object, ChartSeries::Ambient}) {
        auto *graph = new EnvelopeGraph(m_plot->xAxis, m_plot->yAxis);
        // The graphs get at most four points a pixel column (see ChartSeries::view).
        graph->setAdaptiveSampling(false);
        at = m_curves.insert(at, {curve, source, graph}) + 1;
    }
    // Every session holds the user's markers; the first one's are shown.
    connect(session, &RecordingSession::markerAdded, this, [this, session](const Marker &marker) {
        if (session == &this->session())
            m_markerLayer->add(marker);
    });
    // A session added while recording or importing is drawn from its first sample on.
    session->setUnit(unit());
    styleCurves();
    setAmbientVisible(m_ambientVisible);
    ++m_revision;
}

void ChartWidget::removeCurves(RecordingSession *session)
{
    const int source = sourceOf(session);
    if (source < 0)
        return;
    feedTrend(source, nullptr);
    m_drawn.erase(m_drawn.begin() + source);
    for (auto shown = m_curves.begin(); shown != m_curves.end();) {
        if (shown->source == source) {
            m_plot->removeGraph(shown->graph);
            shown = m_curves.erase(shown);
            continue;
        }
        if (shown->source > source)
            --shown->source;
        ++shown;
    }
    styleCurves();
    ++m_revision;
}

void ChartWidget::styleCurves()
{
    const bool several = m_drawn.size() > 1;
    for (const CurveGraph &shown : m_curves) {
        const QColor colour = kCurveColours[size_t(shown.source) % std::size(kCurveColours)];
        if (shown.curve == ChartSeries::Object)
            shown.graph->setPen(QPen(colour, 2));
        else if (several)
            shown.graph->setPen(QPen(colour.lighter(140), 1.5, Qt::DashLine));
        else
            shown.graph->setPen(QPen(kAmbientColour, 2));
        shown.graph->setName(curveName(shown.curve, shown.source));
    }
}

RecordingSession *ChartWidget::attach(Instrument *instrument, const QString &serial)
{
    const QString first = m_group.serials().constFirst();
    if (first.isEmpty() && !m_group.session(serial))
        m_group.rename(first, serial);
    // Files loaded before any instrument stay viewable until a recording starts; the recording
    // is the instruments' alone, led by the first of them.
    const bool filesLead = !first.isEmpty() && !m_instrumentSerials.contains(first);
    RecordingSession *attached = m_group.add(
            serial, filesLead ? RecordingGroup::Place::First : RecordingGroup::Place::Last);
    m_instrumentSerials.insert(serial);
    attached->attach(instrument);
    if (attached == &session() && !session().journal())
        journalFirstSession();
    feedTrend(sourceOf(attached), instrument);
    labelChanged(serial);
    return attached;
}

int ChartWidget::sourceOf(const RecordingSession *session) const
{
    const auto drawn = std::find_if(m_drawn.begin(), m_drawn.end(), [session](const Drawn &d) {
        return d.session == session;
    });
    return drawn == m_drawn.end() ? -1 : int(drawn - m_drawn.begin());
}

void ChartWidget::feedTrend(int source, Instrument *instrument)
{
    Drawn &drawn = m_drawn[size_t(source)];
    for (const QMetaObject::Connection &feed : std::exchange(drawn.feed, {}))
        disconnect(feed);
    if (instrument) {
        // By session, not by index: sessions come and go before it.
        const RecordingSession *session = drawn.session;
        drawn.feed = {
                connect(instrument,
                        &Instrument::objectTemperature,
                        this,
                        [this, session](double value) { appendTrend(sourceOf(session), value); }),
                connect(instrument,
                        &Instrument::ambientTemperature,
                        this,
                        [this, session](double value) {
                            m_drawn[size_t(sourceOf(session))].latestAmbient = value;
                        }),
                connect(instrument,
                        &Instrument::connectionStateChanged,
                        this,
                        [this, session](Instrument::ConnectionState state) {
                            setSourceLive(sourceOf(session), showsLiveReadings(state));
                        })};
    }
    setSourceLive(source, instrument && showsLiveReadings(instrument->state()));
}

void ChartWidget::followInstruments(InstrumentSet *set)
{
    setNameProvider([set](const QString &serial) { return set->displayName(serial); });
    connect(set,
            &InstrumentSet::instrumentAdded,
            this,
            [this](const QString &serial, Instrument *instrument) { attach(instrument, serial); });
    connect(set, &InstrumentSet::labelChanged, this, &ChartWidget::labelChanged);
    // Its Instrument goes on under another serial number: the session keeps what it has, as
    // an instrument lost does, and takes no readings of the other.
    connect(set, &InstrumentSet::instrumentRemoved, this, [this](const QString &serial) {
        if (RecordingSession *removed = m_group.session(serial)) {
            removed->attach(nullptr);
            removed->setConnectionState(Instrument::ConnectionState::Lost);
            feedTrend(sourceOf(removed), nullptr);
        }
    });
    for (const QString &serial : set->serialNumbers())
        attach(set->instrument(serial), serial);
}

void ChartWidget::setNameProvider(NameProvider names)
{
    m_names = std::move(names);
    styleCurves();
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

void ChartWidget::labelChanged(const QString &)
{
    styleCurves();
    updateStatistics();
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

QString ChartWidget::label(const QString &serial) const
{
    const QString name = m_names ? m_names(serial) : QString();
    return name.isEmpty() ? serial : name;
}

bool ChartWidget::isRecording() const
{
    return std::any_of(m_drawn.begin(), m_drawn.end(), [](const Drawn &drawn) {
        return drawn.session->isRecording();
    });
}

std::optional<qint64> ChartWidget::startMsecs() const
{
    // Sessions recorded together share their start; imported files were moved onto the earliest.
    std::optional<qint64> earliest;
    for (const Drawn &drawn : m_drawn) {
        const std::optional<qint64> start = drawn.session->startMsecs();
        if (start && (!earliest || *start < *earliest))
            earliest = start;
    }
    return earliest;
}

void ChartWidget::setJournalFolder(const QString &folder)
{
    m_group.setJournalFolder(folder);
    journalFirstSession();
}

void ChartWidget::journalFirstSession()
{
    const QString folder = m_group.journalFolder();
    session().setJournalPath(folder.isEmpty() ? QString()
                                              : groupJournalPath(folder,
                                                                 m_group.serials().constFirst(),
                                                                 m_group.count() == 1));
}

void ChartWidget::setupInteractions()
{
    QCPAxisRect *rect = m_plot->axisRect();
    rect->setRangeDrag(Qt::Horizontal | Qt::Vertical);
    rect->setRangeZoom(Qt::Horizontal);
    m_plot->setMouseTracking(true);
    m_plot->setFocusPolicy(Qt::ClickFocus);
    m_plot->installEventFilter(this);
    // The signals come before the axis rect acts on the event, so the zoom
    // direction and drag can still be chosen here.
    connect(m_plot, &QCustomPlot::mouseWheel, this, [this](QWheelEvent *event) {
        enterManualView();
        m_plot->axisRect()->setRangeZoom(event->modifiers() & Qt::ControlModifier ? Qt::Vertical
                                                                                  : Qt::Horizontal);
    });
    connect(m_plot, &QCustomPlot::mousePress, this, &ChartWidget::plotMousePress);
    connect(m_plot, &QCustomPlot::mouseMove, this, &ChartWidget::plotMouseMove);
    connect(m_plot, &QCustomPlot::mouseRelease, this, &ChartWidget::plotMouseRelease);
    connect(m_plot, &QCustomPlot::mouseDoubleClick, this, &ChartWidget::restoreAutomaticView);

    // While the cursor readout shows, its layer has a buffer of its own, so
    // moving it repaints only that layer; hidden, it has none, as every buffer
    // is cleared and laid over the plot at each redraw.
    m_plot->addLayer(QStringLiteral("readout"), m_plot->layer(QStringLiteral("legend")));
    // Nothing is drawn on QCustomPlot's own overlay; a buffer of its own would
    // be cleared and laid over the plot at every redraw for nothing.
    m_plot->layer(QStringLiteral("overlay"))->setMode(QCPLayer::lmLogical);
    m_markerLayer = new MarkerLayer(m_plot);
    // Texts edited in the marker list go into the files the session writes.
    connect(m_markerLayer, &MarkerLayer::changed, this, [this] {
        for (const Drawn &drawn : m_drawn)
            drawn.session->setMarkers(m_markerLayer->markers());
    });
    m_readoutLine = new QCPItemStraightLine(m_plot);
    m_readoutLine->setLayer(QStringLiteral("readout"));
    m_readoutLine->setPen(QPen(QColor(60, 60, 60), 1, Qt::DashLine));
    m_readoutLabel = new QCPItemText(m_plot);
    m_readoutLabel->setLayer(QStringLiteral("readout"));
    m_readoutLabel->position->setTypeX(QCPItemPosition::ptPlotCoords);
    m_readoutLabel->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
    m_readoutLabel->setTextAlignment(Qt::AlignLeft);
    m_readoutLabel->setPadding(QMargins(4, 2, 4, 2));
    m_readoutLabel->setBrush(QBrush(QColor(255, 255, 255, 230)));
    m_readoutLabel->setPen(QPen(QColor(120, 120, 120)));
    hideReadout();

    m_selectionItem = new QCPItemRect(m_plot);
    for (QCPItemPosition *corner : {m_selectionItem->topLeft, m_selectionItem->bottomRight}) {
        corner->setTypeX(QCPItemPosition::ptPlotCoords);
        corner->setTypeY(QCPItemPosition::ptAxisRectRatio);
    }
    m_selectionItem->setPen(QPen(QColor(70, 110, 200, 160)));
    m_selectionItem->setBrush(QBrush(QColor(70, 110, 200, 50)));
    m_selectionItem->setVisible(false);

    m_trendCaption = new QCPItemText(m_plot);
    m_trendCaption->position->setType(QCPItemPosition::ptAxisRectRatio);
    m_trendCaption->position->setCoords(0.01, 0.01);
    m_trendCaption->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_trendCaption->setColor(QColor(90, 90, 90));
    m_trendCaption->setVisible(false);

    m_followHint = new QCPItemText(m_plot);
    m_followHint->position->setType(QCPItemPosition::ptAxisRectRatio);
    // At the bottom, clear of the cursor readout and the legend at the top.
    m_followHint->position->setCoords(0.5, 0.99);
    m_followHint->setPositionAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    m_followHint->setColor(QColor(60, 60, 60));
    m_followHint->setBrush(QBrush(QColor(255, 255, 220, 230)));
    m_followHint->setPadding(QMargins(6, 2, 6, 2));
    m_followHint->setVisible(false);

    m_statisticsTimer = new QTimer(this);
    m_statisticsTimer->setSingleShot(true);
    m_statisticsTimer->setInterval(kStatisticsMs);
    connect(m_statisticsTimer, &QTimer::timeout, this, &ChartWidget::updateStatistics);
    connect(m_plot, &QCustomPlot::beforeReplot, this, &ChartWidget::feedGraphs);
}

void ChartWidget::enterManualView()
{
    if (m_manualView)
        return;
    m_manualView = true;
    m_autoXRange = m_plot->xAxis->range();
    m_autoYRange = m_plot->yAxis->range();
    showFollowHint();
}

void ChartWidget::restoreAutomaticView()
{
    if (m_manualView) {
        m_manualView = false;
        m_plot->xAxis->setRange(m_autoXRange);
        m_plot->yAxis->setRange(m_autoYRange);
    }
    showFollowHint();
    applyAutomaticView();
    m_plot->replot(QCustomPlot::rpRefreshHint);
}

void ChartWidget::followReadings()
{
    restoreAutomaticView();
}

void ChartWidget::showFollowHint()
{
    m_followHint->setText(tr("视图已固定：双击图表恢复跟随读数"));
    m_followHint->setVisible(m_manualView);
}

void ChartWidget::plotMousePress(QMouseEvent *event)
{
    m_selecting = event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier);
    m_plot->axisRect()->setRangeDrag(m_selecting ? Qt::Orientations()
                                                 : Qt::Horizontal | Qt::Vertical);
    if (m_selecting) {
        m_selectionAnchor = m_plot->xAxis->pixelToCoord(event->pos().x());
        setSelection(QCPRange(m_selectionAnchor, m_selectionAnchor));
    }
}

void ChartWidget::plotMouseMove(QMouseEvent *event)
{
    if (m_selecting) {
        const double key = m_plot->xAxis->pixelToCoord(event->pos().x());
        setSelection(QCPRange(std::min(key, m_selectionAnchor), std::max(key, m_selectionAnchor)));
    } else if (event->buttons() & Qt::LeftButton) {
        enterManualView();
    }
    showReadout(localPos(event));
}

void ChartWidget::plotMouseRelease(QMouseEvent *)
{
    if (!m_selecting)
        return;
    m_selecting = false;
    if (m_selection && m_selection->size() <= 0)
        setSelection(std::nullopt);
}

void ChartWidget::setSelection(std::optional<QCPRange> span)
{
    m_selection = span;
    m_selectionItem->setVisible(span.has_value());
    if (span) {
        m_selectionItem->topLeft->setCoords(span->lower, 0.0);
        m_selectionItem->bottomRight->setCoords(span->upper, 1.0);
    }
    scheduleStatistics();
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

void ChartWidget::showReadout(const QPointF &pos)
{
    const double key = m_plot->xAxis->pixelToCoord(pos.x());
    // The sample of a series under the cursor, or -1 where the series has none.
    const auto under = [](const ChartSeries *series, double at) {
        const int i = series ? series->nearest(at) : -1;
        return i >= 0 && at >= series->keys().constFirst() && at <= series->keys().constLast() ? i
                                                                                               : -1;
    };
    // The line snaps to the sample of the first curve with a reading there.
    std::optional<double> snapped;
    for (int source = 0; source < int(m_drawn.size()) && !snapped; ++source) {
        const ChartSeries *series = seriesOf(source);
        const int i = under(series, key);
        if (i >= 0 && !std::isnan(series->values(ChartSeries::Object)[i]))
            snapped = series->keys()[i];
    }
    if (!m_plot->axisRect()->rect().contains(pos.toPoint()) || !snapped) {
        hideReadout();
        return;
    }
    const double at = *snapped;
    const std::optional<qint64> start
            = isTrendShown() ? std::optional<qint64>(m_trendStartMsecs) : startMsecs();
    QStringList lines;
    if (start) {
        const QDateTime clock
                = QDateTime::fromMSecsSinceEpoch(*start + qint64(std::llround(at * 1000)));
        lines << tr("时刻 %1").arg(clock.toString(QStringLiteral("hh:mm:ss.zzz")));
    }
    lines << tr("经过 %1 秒").arg(at, 0, 'f', 2);
    const auto value = [&](const CurveGraph &shown) {
        const ChartSeries *series = seriesOf(shown.source);
        const int i = under(series, at);
        const double v = i < 0 ? std::nan("") : series->values(shown.curve)[i];
        return std::isnan(v) ? kDash : QString::number(v, 'f', 1);
    };
    for (const CurveGraph &shown : m_curves) {
        if (shown.graph->visible() && seriesOf(shown.source))
            lines << QStringLiteral("%1 %2").arg(shown.graph->name(), value(shown));
    }
    m_readoutLine->point1->setCoords(at, 0.0);
    m_readoutLine->point2->setCoords(at, 1.0);
    m_readoutLabel->position->setCoords(at, 0.02);
    // Beside the line, on the side with room.
    const bool right = pos.x() > m_plot->axisRect()->center().x();
    m_readoutLabel->setPositionAlignment((right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
    m_readoutLabel->setText(lines.join(QLatin1Char('\n')));
    m_readoutLine->setVisible(true);
    m_readoutLabel->setVisible(true);
    QCPLayer *layer = m_plot->layer(QStringLiteral("readout"));
    layer->setMode(QCPLayer::lmBuffered);
    layer->replot();
}

void ChartWidget::hideReadout()
{
    if (!m_readoutLine->visible())
        return;
    m_readoutLine->setVisible(false);
    m_readoutLabel->setVisible(false);
    QCPLayer *layer = m_plot->layer(QStringLiteral("readout"));
    layer->setMode(QCPLayer::lmLogical);
    layer->replot();
}

QString ChartWidget::readoutText() const
{
    return m_readoutLabel->visible() ? m_readoutLabel->text() : QString();
}

QCPRange ChartWidget::statisticsSpan() const
{
    return m_selection.value_or(m_plot->xAxis->range());
}

void ChartWidget::scheduleStatistics()
{
    // Range changes arrive while the plot is being set up, before the timer exists.
    if (m_statisticsTimer && !m_statisticsTimer->isActive())
        m_statisticsTimer->start();
}

void ChartWidget::updateStatistics()
{
    m_statisticsTimer->stop();
    const QCPRange span = statisticsSpan();
    if (m_drawn.size() == 1) {
        showStatisticsLines(m_statisticsLabel,
                            {statisticsText(shownSeries().statistics(span.lower, span.upper))});
        return;
    }
    // A line per curve listed, named as the curve.
    QStringList lines;
    for (int source = 0; source < int(m_drawn.size()); ++source) {
        if (const ChartSeries *series = seriesOf(source)) {
            lines << QStringLiteral("%1:  %2").arg(
                    curveName(ChartSeries::Object, source),
                    statisticsText(series->statistics(span.lower, span.upper)));
        }
    }
    showStatisticsLines(m_statisticsLabel, lines);
}

QString ChartWidget::statisticsText(const SpanStatistics &statistics) const
{
    const bool any = statistics.count > 0;
    const auto number = [any](double value, int decimals) {
        return any ? QString::number(value, 'f', decimals) : kDash;
    };
    const QString text = tr("最小 %1   最大 %2   平均 %3   标准差 %4   样本 %5   时长 %6 秒")
                                 .arg(number(statistics.minimum, 1),
                                      number(statistics.maximum, 1),
                                      number(statistics.mean, 2),
                                      number(statistics.standardDeviation, 2),
                                      QString::number(statistics.count),
                                      number(statistics.duration, 1));
    return m_selection ? tr("选区：") + text : text;
}

void ChartWidget::applyChartSettings()
{
    ChartSettingsStore &settings = chartSettingsStore();
    if (const std::optional<int> limit = configuredSampleLimit())
        setCacheSize(*limit);
    const QString interval = settings.value(QStringLiteral("ChartLineFPS"), QStringLiteral("10"));
    // Text that is not a number counts as 0.
    if (!interval.isEmpty())
        setRecordInterval(interval.toInt(nullptr, 10));
}

void ChartWidget::setUnit(int code)
{
    if (code == 1)
        m_plot->yAxis->setLabel(tr("温度(℉)"));
    else if (code == 2)
        m_plot->yAxis->setLabel(tr("温度(℃)"));
    const int previous = unit();
    for (const Drawn &drawn : m_drawn)
        drawn.session->setUnit(code);
    if (code != previous)
        convertUnit(previous, code);
}

void ChartWidget::setCacheSize(int n)
{
    for (const Drawn &drawn : m_drawn) {
        drawn.session->samples().reset(n);
        drawn.session->setUnsaved(false);
    }
    m_group.setSampleLimit(n);
}

void ChartWidget::setRecordInterval(int ms)
{
    m_group.setInterval(ms);
}

void ChartWidget::setAmbientVisible(bool on)
{
    m_ambientVisible = on;
    for (const CurveGraph &shown : m_curves)
        if (shown.curve == ChartSeries::Ambient)
            shown.graph->setVisible(on);
    listCurves();
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

void ChartWidget::setViewMode(int mode)
{
    if (mode == m_viewMode)
        return;
    m_viewMode = mode;
    ++m_revision;
    if (mode != 0 || samples().size() == 0)
        return;
    const QCPRange range = m_plot->xAxis->range();
    const double upper = std::max(range.upper, samples().lastDuration());
    const double width = std::trunc(std::min(range.size(), kScrollWindowSeconds));
    m_plot->xAxis->setRange(upper - width, upper);
}

void ChartWidget::setAutoFit(bool on)
{
    m_autoFit = on;
    ++m_revision;
}

void ChartWidget::setPaused(bool on)
{
    m_paused = on;
    m_pauseButton->setText(on ? tr("继续") : tr("暂停"));
}

EnvelopeGraph *ChartWidget::graphOf(ChartSeries::Curve curve) const
{
    const auto found = std::find_if(m_curves.begin(), m_curves.end(), [curve](const CurveGraph &c) {
        return c.curve == curve && c.source == 0;
    });
    return found == m_curves.end() ? nullptr : found->graph;
}

QString ChartWidget::curveName(ChartSeries::Curve curve, int source) const
{
    if (m_drawn.size() == 1)
        return curve == ChartSeries::Object ? tr("实温") : tr("环温");
    const QString name = label(m_group.serials().at(source));
    return curve == ChartSeries::Object ? name : tr("%1 环温").arg(name);
}

const ChartSeries *ChartWidget::seriesOf(int source) const
{
    if (!isListed(source))
        return nullptr;
    const Drawn &drawn = m_drawn[size_t(source)];
    return isTrendShown() ? &drawn.trend : &drawn.record;
}

std::optional<QCPRange> ChartWidget::shownKeys() const
{
    std::optional<QCPRange> keys;
    for (int source = 0; source < int(m_drawn.size()); ++source) {
        const ChartSeries *series = seriesOf(source);
        if (!series || series->isEmpty())
            continue;
        const QCPRange span(series->keys().constFirst(), series->keys().constLast());
        keys = keys ? QCPRange(std::min(keys->lower, span.lower), std::max(keys->upper, span.upper))
                    : span;
    }
    return keys;
}

void ChartWidget::stopAndClose()
{
    m_group.stop();
    close();
}

void ChartWidget::addMarker(const QString &text)
{
    if (isTrendShown())
        return;
    const Marker marker{isRecording() ? std::max(0.0, samples().lastDuration())
                                      : m_plot->xAxis->range().center(),
                        text};
    m_group.addMarker(marker);
}

void ChartWidget::addObjectReading(double v)
{
    appendTrend(0, v);
}

void ChartWidget::addAmbientReading(double v)
{
    m_drawn.front().latestAmbient = v;
}

void ChartWidget::setLive(bool connected)
{
    setSourceLive(0, connected);
}

void ChartWidget::setSourceLive(int source, bool live)
{
    Drawn &drawn = m_drawn[size_t(source)];
    // The state shown again (a language change, a short silence) keeps the trend.
    if (drawn.live == live)
        return;
    drawn.live = live;
    const bool any
            = std::any_of(m_drawn.begin(), m_drawn.end(), [](const Drawn &d) { return d.live; });
    if (any == m_live) {
        // The others go on: a gap in its trend marks its absence; it goes on once back.
        if (!live && !drawn.trend.isEmpty()
            && !std::isnan(drawn.trend.values(ChartSeries::Object).constLast())) {
            drawn.trend.append(
                    double(m_trendClock.nsecsElapsed()) / 1e9, std::nan(""), std::nan(""));
            ++m_revision;
        }
        return;
    }
    m_live = any;
    clearTrends();
    if (isTrendShown())
        showSource(true);
    ++m_revision;
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

void ChartWidget::clearTrends()
{
    for (Drawn &drawn : m_drawn)
        drawn.trend.clear();
}

void ChartWidget::showLiveTrend()
{
    if (isRecording() || m_trendPreferred)
        return;
    showSource(true);
    applyAutomaticView();
    m_plot->replot(QCustomPlot::rpRefreshHint);
}

bool ChartWidget::isTrendShown() const
{
    return m_live && !isRecording() && m_trendPreferred;
}

const ChartSeries &ChartWidget::shownSeries() const
{
    return *seriesOf(0);
}

void ChartWidget::appendTrend(int source, double object)
{
    Drawn &drawn = m_drawn[size_t(source)];
    if (!drawn.live || isRecording())
        return;
    // One time axis for all: it starts with the first reading of any.
    if (std::all_of(
                m_drawn.begin(), m_drawn.end(), [](const Drawn &d) { return d.trend.isEmpty(); })) {
        m_trendClock.start();
        m_trendStartMsecs = QDateTime::currentMSecsSinceEpoch();
    }
    drawn.trend.append(double(m_trendClock.nsecsElapsed()) / 1e9, object, drawn.latestAmbient);
    if (isTrendShown())
        ++m_revision;
}

void ChartWidget::trimTrend()
{
    double newest = -std::numeric_limits<double>::infinity();
    for (const Drawn &drawn : m_drawn) {
        if (!drawn.trend.isEmpty())
            newest = std::max(newest, drawn.trend.keys().constLast());
    }
    // An instrument gone for longer than the trend reaches back leaves nothing.
    for (Drawn &drawn : m_drawn) {
        if (!drawn.trend.isEmpty()
            && drawn.trend.keys().constFirst() < newest - kTrendSeconds - kTrendSlackSeconds)
            drawn.trend.dropBefore(newest - kTrendSeconds);
    }
}

void ChartWidget::showSource(bool trend)
{
    m_trendPreferred = trend;
    ++m_revision;
    m_manualView = false;
    showFollowHint();
    hideReadout();
    setSelection(std::nullopt);
}

void ChartWidget::on_pushButton_startstop_clicked()
{
    if (isRecording()) {
        m_group.stop();
        // A recording of its own, started on the session alone.
        session().stop();
        return;
    }
    m_group.setTrigger(std::nullopt);
    startRecording();
}

void ChartWidget::selectSpan(double from, double to)
{
    const ChartSeries &series = shownSeries();
    if (std::isnan(to))
        to = series.isEmpty() ? from : std::max(from, series.keys().constLast());
    setSelection(QCPRange(from, to));
}

void ChartWidget::startTriggeredRecording(const Trigger &trigger)
{
    if (isRecording())
        return;
    m_group.setTrigger(trigger);
    startRecording();
}

void ChartWidget::startRecording()
{
    applyChartSettings();
    // Files imported beside the instruments' sessions are no instruments to record.
    const QStringList held = m_group.serials();
    for (const QString &serial : held.mid(1)) {
        if (!m_instrumentSerials.contains(serial))
            m_group.remove(serial);
    }
    m_group.start();

    m_markerLayer->clear();
    syncRecord();
    clearTrends();
    showSource(false);
    m_startStopButton->setText(tr("停止"));
    if (m_paused)
        setPaused(false);
    emit recordingChanged(true);
}

void ChartWidget::recordingFinished(RecordingSession::End end)
{
    m_startStopButton->setText(tr("开始"));
    // The finished recording stays shown until the user asks for the trend.
    m_trendPreferred = false;
    refreshView();
    emit recordingChanged(false);
    if (end != RecordingSession::End::LimitReached)
        return;
    emit sampleLimitReached();
    m_files.prompter().message(QMessageBox::Information, this, tr("提示"), tr("记录数据结束"));
}

void ChartWidget::on_pushButton_hc_clicked()
{
    setPaused(!m_paused);
}

void ChartWidget::on_pushButton_mode_clicked()
{
    setViewMode(m_viewMode == 0 ? 1 : 0);
}

void ChartWidget::syncRecord()
{
    // Only the samples added since the last visit travel, so the cost of a
    // refresh does not grow with the recording.
    for (Drawn &drawn : m_drawn) {
        const SampleStore::Tail tail
                = drawn.session->samples().tailSince(drawn.generation, drawn.count);
        if (tail.generation != drawn.generation) {
            drawn.record.clear();
            ++m_revision;
        }
        drawn.record.append(tail.rows);
        if (!tail.rows.durations.isEmpty())
            ++m_revision;
        drawn.generation = tail.generation;
        drawn.count = tail.count;
    }
}

void ChartWidget::refreshView()
{
    syncRecord();
    m_markerLayer->setVisible(!isTrendShown());
    // Only a recording needs the quick tick; between recordings the trend
    // is redrawn four times a second and everything else redraws itself.
    const int cadence = isRecording() ? kRefreshMs : kTrendRedrawMs;
    if (m_refreshTimer->interval() != cadence)
        m_refreshTimer->start(cadence);
    if (isTrendShown())
        trimTrend();
    if (m_drawnRevision == m_revision)
        return;
    scheduleStatistics();
    if (m_paused) {
        // The view moves once the pause ends.
        feedGraphs();
        return;
    }
    m_drawnRevision = m_revision;
    if (!m_manualView)
        applyAutomaticView();
    m_plot->replot(QCustomPlot::rpRefreshHint);
}

void ChartWidget::applyAutomaticView()
{
    const std::optional<QCPRange> keys = shownKeys();
    if (!keys)
        return;
    const double first = keys->lower;
    const double last = keys->upper;
    if (m_viewMode == 1) {
        m_plot->xAxis->setRange(first, last);
    } else {
        // A window left ahead of the newest sample by an earlier source starts
        // again at the beginning.
        if (m_plot->xAxis->range().lower > last)
            m_plot->xAxis->setRange(first, first + m_plot->xAxis->range().size());
        const QCPRange range = m_plot->xAxis->range();
        const double upper = std::max(range.upper, last);
        m_plot->xAxis->setRange(upper - range.size(), upper);
    }
    if (m_autoFit)
        fitToTemperatures();
}

void ChartWidget::fitToTemperatures()
{
    const std::optional<QCPRange> keys = shownKeys();
    if (!keys)
        return;
    fitAxis(m_plot->xAxis, keys->lower, keys->upper);
    Extremes shown;
    for (int source = 0; source < int(m_drawn.size()); ++source) {
        const ChartSeries *series = seriesOf(source);
        if (!series)
            continue;
        shown.add(series->extremes(ChartSeries::Object));
        if (m_ambientVisible)
            shown.add(series->extremes(ChartSeries::Ambient));
    }
    const double low = shown.isEmpty() ? std::nan("") : shown.low;
    const double high = shown.isEmpty() ? std::nan("") : shown.high;
    const QCPRange values = autoFitRange(low, high, m_plot->yAxis->range().size());
    if (QCPRange::validRange(values))
        m_plot->yAxis->setRange(values);
}

void ChartWidget::feedGraphs()
{
    const QCPRange range = m_plot->xAxis->range();
    const int columns = std::max(m_plot->axisRect()->width(), 1);
    m_trendCaption->setVisible(isTrendShown());
    if (m_fed.revision == m_revision && m_fed.lower == range.lower && m_fed.upper == range.upper
        && m_fed.columns == columns && m_fed.ambient == m_ambientVisible)
        return;
    m_fed = {m_revision, range.lower, range.upper, columns, m_ambientVisible};
    listCurves();
    for (int source = 0; source < int(m_drawn.size()); ++source) {
        const ChartSeries *series = seriesOf(source);
        // Hidden ambient curves are handed nothing: they are fed again once shown.
        const ChartSeries::View view = series ? series->view(range.lower,
                                                             range.upper,
                                                             columns,
                                                             m_ambientVisible,
                                                             &m_drawn[size_t(source)].envelope)
                                              : ChartSeries::View();
        for (const auto &[curve, from, graph] : m_curves) {
            if (from != source)
                continue;
            graph->data()->set(view.points[curve], true);
            graph->setEnvelope(view.envelope);
            // An envelope is columns up and down the plot: smoothing their edges
            // would cost most of a refresh and show nothing.
            graph->setAntialiased(!view.envelope);
        }
    }
}

bool ChartWidget::isListed(int source) const
{
    return !isTrendShown() || source == 0 || !m_drawn[size_t(source)].trend.isEmpty();
}

void ChartWidget::listCurves()
{
    for (const CurveGraph &shown : m_curves) {
        const bool listed = isListed(shown.source)
                            && (shown.curve == ChartSeries::Object || m_ambientVisible);
        // A hidden legend item would still hold its row.
        if (listed)
            shown.graph->addToLegend();
        else
            shown.graph->removeFromLegend();
    }
}

void ChartWidget::convertUnit(int from, int to)
{
    if (!TemperatureUnit::isKnown(from) || !TemperatureUnit::isKnown(to))
        return;
    const auto convert = [from, to](double value) {
        return TemperatureUnit::convert(value, from, to);
    };
    // What is drawn is rebuilt from the converted samples, pyramids and all; generation 0 is
    // never the store's, so the tail is everything it holds.
    for (Drawn &drawn : m_drawn) {
        const SampleStore::Tail all = drawn.session->samples().tailSince(0, 0);
        drawn.record.clear();
        drawn.record.append(all.rows);
        drawn.generation = all.generation;
        drawn.count = all.count;
        drawn.latestAmbient = convert(drawn.latestAmbient);
        const QVector<double> trendKeys = drawn.trend.keys();
        QVector<double> trendObjects = drawn.trend.values(ChartSeries::Object);
        QVector<double> trendAmbients = drawn.trend.values(ChartSeries::Ambient);
        std::transform(trendObjects.begin(), trendObjects.end(), trendObjects.begin(), convert);
        std::transform(trendAmbients.begin(), trendAmbients.end(), trendAmbients.begin(), convert);
        drawn.trend.assign(trendKeys, trendObjects, trendAmbients);
    }
    ++m_revision;
    const QCPRange values = m_plot->yAxis->range();
    m_plot->yAxis->setRange(convert(values.lower), convert(values.upper));
    m_importMax = float(convert(m_importMax));
    m_importMin = float(convert(m_importMin));
    refreshView();
}

void ChartWidget::openScale(std::unique_ptr<ZoomScale> &scale,
                            void (ChartWidget::*zoomin)(),
                            void (ChartWidget::*zoomout)(),
                            void (ChartWidget::*destroyed)(),
                            int row)
{
    scale = std::make_unique<ZoomScale>();
    // Queued: the popup announces its end from inside its own timer event.
    connect(scale.get(), &ZoomScale::dismissed, this, destroyed, Qt::QueuedConnection);
    connect(scale.get(), &ZoomScale::zoomInClicked, this, zoomin);
    connect(scale.get(), &ZoomScale::zoomOutClicked, this, zoomout);
    // Stacked at the plot's top right corner, horizontal above vertical.
    const QPoint corner = mapToGlobal(QPoint(width() - scale->width(), row * scale->height()));
    scale->move(corner);
    scale->show();
}

void ChartWidget::on_pushButton_horizontal_clicked()
{
    openScale(m_hScale,
              &ChartWidget::horizontalZoomin,
              &ChartWidget::horizontalZoomout,
              &ChartWidget::horizontalScaleClosed,
              0);
}

void ChartWidget::on_pushButton_vertical_clicked()
{
    openScale(m_vScale,
              &ChartWidget::verticalZoomin,
              &ChartWidget::verticalZoomout,
              &ChartWidget::verticalScaleClosed,
              1);
}

void ChartWidget::horizontalScaleClosed()
{
    m_hScale.reset();
}

void ChartWidget::verticalScaleClosed()
{
    m_vScale.reset();
}

void ChartWidget::zoomStep(QCPAxis *axis, bool zoomIn, double limit)
{
    if (!m_plot->isVisible())
        return;
    const QCPRange range = axis->range();
    const double span = range.size();
    if (zoomIn ? span <= limit : span >= limit)
        return;
    enterManualView();
    const double d = zoomIn ? (span - span / kZoomFactor) * 0.5 : (span * kZoomFactor - span) * 0.5;
    axis->setRange(zoomIn ? range.lower + d : range.lower - d,
                   zoomIn ? range.upper - d : range.upper + d);
    m_plot->replot(QCustomPlot::rpRefreshHint);
}

void ChartWidget::horizontalZoomin()
{
    zoomStep(m_plot->xAxis, true, kMinXSpan);
}

void ChartWidget::horizontalZoomout()
{
    zoomStep(m_plot->xAxis, false, kMaxXSpan);
}

void ChartWidget::verticalZoomin()
{
    zoomStep(m_plot->yAxis, true, kMinYSpan);
}

void ChartWidget::verticalZoomout()
{
    zoomStep(m_plot->yAxis, false, kMaxYSpan);
}

void ChartWidget::xAxisRangeChanged(const QCPRange &range)
{
    if (range.lower < 0)
        m_plot->xAxis->setRangeLower(0);
    if (!m_selection)
        scheduleStatistics();
}

void ChartWidget::yAxisRangeChanged(const QCPRange &range)
{
    const double lowest = TemperatureUnit::fromCelsius(kLowestTemperature, unit());
    if (range.lower < lowest)
        m_plot->yAxis->setRangeLower(lowest);
}

bool ChartWidget::drawImage(const QString &path)
{
    if (path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        return m_plot->savePdf(path);
    return m_plot->savePng(path, 0, 0, kImageScale);
}

void ChartWidget::applyImport(RecordImport imported)
{
    m_importMax = imported.maxTemperature;
    m_importMin = imported.minTemperature;
    // The axis label follows the file's unit; the samples are in it already.
    const int unit = imported.unit.value_or(this->unit());
    m_markerLayer->setMarkers(imported.markers);
    // Shared with the store, not copied.
    const RecordSeries series = imported.series;
    const int dataCount = imported.dataCount;
    session().load(std::move(imported));
    Drawn &loaded = m_drawn.front();
    loaded.record.assign(series.durations, series.temperatures, series.ambients);
    loaded.generation = samples().generation();
    loaded.count = series.durations.size();
    // The other instruments' curves make way for the record.
    for (size_t source = 1; source < m_drawn.size(); ++source)
        m_drawn[source].session->samples().reset(m_drawn[source].session->sampleLimit());
    syncRecord();
    showSource(false);
    const bool any = !series.durations.isEmpty();
    const double first = any ? series.durations.constFirst() : 0.0;
    const double last = any ? series.durations.constLast() : 0.0;
    if (dataCount != 0)
        session().setSampleLimit(dataCount);

    if (any) {
        setUnit(unit);
        // A single sample gives an empty range, which the plot ignores.
        m_plot->xAxis->setRange(first, last);
        m_plot->yAxis->setRange(double(m_importMin - 10.0f), double(m_importMax + 10.0f));
    }
    m_drawnRevision = m_revision;
    scheduleStatistics();
    m_plot->replot(QCustomPlot::rpRefreshHint);
}

void ChartWidget::showGroup()
{
    // One axis: every session in the first one's unit.
    const int shownUnit = session().unit();
    for (const Drawn &drawn : m_drawn)
        drawn.session->setUnit(shownUnit);
    setUnit(shownUnit);
    m_markerLayer->setMarkers(session().markers());
    syncRecord();
    showSource(false);
    Extremes values;
    for (const Drawn &drawn : m_drawn)
        values.add(drawn.record.extremes(ChartSeries::Object));
    m_importMax = values.isEmpty() ? 0.0f : float(values.high);
    m_importMin = values.isEmpty() ? 0.0f : float(values.low);
    if (const std::optional<QCPRange> keys = shownKeys()) {
        m_plot->xAxis->setRange(*keys);
        m_plot->yAxis->setRange(double(m_importMin - 10.0f), double(m_importMax + 10.0f));
    }
    m_drawnRevision = m_revision;
    styleCurves();
    scheduleStatistics();
    m_plot->replot(QCustomPlot::rpRefreshHint);
}

void ChartWidget::retranslate()
{
    m_plot->xAxis->setLabel(tr("时间(秒)"));
    setUnit(unit());
    m_startStopButton->setText(isRecording() ? tr("停止") : tr("开始"));
    m_modeButton->setText(m_viewMode != 0 ? tr("模式1") : tr("模式2"));
    m_pauseButton->setText(m_paused ? tr("继续") : tr("暂停"));
    m_horizontalButton->setText(tr("水平缩放"));
    m_verticalButton->setText(tr("垂直缩放"));
    m_exportButton->setText(tr("保存曲线"));
    styleCurves();
    m_trendCaption->setText(tr("实时趋势（未记录）"));
    showFollowHint();
    updateStatistics();
    m_plot->replot(QCustomPlot::rpRefreshHint);
}

void ChartWidget::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && m_selection) {
        setSelection(std::nullopt);
        return;
    }
    QWidget::keyPressEvent(event);
}

bool ChartWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_plot && event->type() == QEvent::Leave)
        hideReadout();
    else if (watched == m_graphicWidget && event->type() == QEvent::Resize) {
        m_plot->resize(m_graphicWidget->size());
        // The statistics' columns follow the width.
        if (static_cast<QResizeEvent *>(event)->oldSize().width() != m_graphicWidget->width())
            scheduleStatistics();
    }
    return QWidget::eventFilter(watched, event);
}

void ChartWidget::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        retranslate();
}
