#ifndef TEVRANO_CHARTWIDGET_H
#define TEVRANO_CHARTWIDGET_H

#include "chartlod.h"
#include "recordfile.h"
#include "recordfileflows.h"
#include "recordinggroup.h"

#include <QElapsedTimer>
#include <QSet>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class ZoomScale;
class InstrumentSet;
class NavButton;
class MarkerLayer;
class QCPAxis;
class QCPGraph;
class QCPItemRect;
class QCPItemStraightLine;
class QCPItemText;
class QCPRange;
class QLabel;
class QCustomPlot;
class QTimer;
class RecordJournal;

// The chart page: a view of a recording group, one session per instrument on one time axis. Its
// record-file flows (import, export, CSV, picture) are a RecordFileFlows of its own; the page is
// the plot. It plots each session's object and ambient temperatures, in a colour of its own,
// against the seconds since the recording started; while no recording runs and an instrument is
// connected it shows the last minutes of every instrument's readings instead (the live trend),
// drawn and named as that instrument's curves and never recorded. With one session it looks as it
// did before there were groups: the curves are "实温" and "环温". Runs on the GUI thread; the
// group samples on a thread of its own.
class ChartWidget : public QWidget
{
    Q_OBJECT

public:
    explicit ChartWidget(QWidget *parent = nullptr);
    ~ChartWidget() override;

    // Names an instrument in the legend, the readout and the statistics by its serial number.
    using NameProvider = std::function<QString(const QString &serial)>;

    bool isRecording() const;
    // The recording the chart shows and its record-file flows write: a session per instrument.
    RecordingGroup &group() { return m_group; }
    const RecordingGroup &group() const { return m_group; }
    // The first instrument's session; the only one until a second instrument is attached.
    RecordingSession &session() { return *m_drawn.front().session; }
    const RecordingSession &session() const { return *m_drawn.front().session; }
    // The session of the instrument `serial`, fed by `instrument` from now on, and so is its live
    // trend. The first session is taken over by the first serial attached, so one instrument
    // keeps the chart as it was; files loaded before any instrument keep theirs, and the first
    // instrument's goes before them: a recording's first session is always an instrument's.
    RecordingSession *attach(Instrument *instrument, const QString &serial);
    // Every instrument `set` adds gets a session (attach()), named by its display name; a
    // recording covers all. One lost keeps its session and its gaps and goes on in it once the
    // set has it back by its serial number. Not owned; must outlive the chart's use of it.
    void followInstruments(InstrumentSet *set);
    // The serial itself by default.
    void setNameProvider(NameProvider names);
    // The label of `serial` changed: the legend and readout follow.
    void labelChanged(const QString &serial);
    // The unit of the samples held (1 Fahrenheit, 2 Celsius).
    int unit() const { return session().unit(); }
    // 1 Fahrenheit, 2 Celsius; other codes are stored but leave the axis label. From one known
    // unit to the other the samples held, the latest readings and the value axis are converted.
    void setUnit(int code);
    // Drops every sample and makes `n` the sample limit of a recording.
    void setCacheSize(int n);
    void setRecordInterval(int ms);
    bool ambientVisible() const { return m_ambientVisible; }
    void setAmbientVisible(bool on);
    // 0 scrolling window, 1 whole recording. Leaving the whole recording narrows the window to
    // its last seconds; the view moves at the next refresh.
    int viewMode() const { return m_viewMode; }
    void setViewMode(int mode);
    // The chart follows the readings: fits them until the user zooms or pans.
    bool autoFit() const { return m_autoFit; }
    void setAutoFit(bool on);
    // A paused view takes in samples but does not move.
    bool isPaused() const { return m_paused; }
    void setPaused(bool on);
    // The highest and lowest temperature of the record imported last, in the chart's unit.
    float importMax() const { return m_importMax; }
    float importMin() const { return m_importMin; }
    // The plot, for views laid over it (threshold lines).
    QCustomPlot *plot() const { return m_plot; }
    EnvelopeGraph *temperatureGraph() const { return graphOf(ChartSeries::Object); }
    EnvelopeGraph *ambientGraph() const { return graphOf(ChartSeries::Ambient); }

    // Stops sampling and closes the page (program shutdown).
    void stopAndClose();
    // The record-file flows: import, export, CSV and picture; below, as the window's menus
    // reach them.
    RecordFileFlows &files() { return m_files; }
    void loadRecord(const QString &path) { m_files.loadRecord(path); }
    void loadRecords(const QStringList &paths) { m_files.loadRecords(paths); }
    bool exportRecord() { return m_files.exportRecord(); }
    QString askRecordPath() { return m_files.askRecordPath(); }
    bool saveRecordTo(const QString &path) { return m_files.saveRecordTo(path); }

    // Every recording from the next one on journals each session in `folder` (the first
    // instrument's journal is there at once); empty keeps no journal.
    void setJournalFolder(const QString &folder);
    // The first instrument's journal; null without a journal folder.
    RecordJournal *journal() const { return session().journal(); }
    // Loads the journals an earlier run left behind as an import would, marked unsaved; false
    // when none holds a record.
    bool restoreJournal() { return m_files.restoreJournals(); }
    // A recording, or a restored journal, neither saved nor discarded yet.
    bool hasUnsavedRecording() const { return m_group.hasUnsaved(); }
    // The held recording needs no keeping any more (saved, or given up by the
    // user): its journals go.
    void discardRecording() { m_group.discard(); }
    // Applies the stored "ChartLineCache" and "ChartLineFPS" (after the chart
    // settings dialog was accepted); drops every sample.
    void applyChartSettings();

    int cacheSize() const { return session().sampleLimit(); }
    int recordInterval() const { return m_group.interval(); }
    // The first instrument's.
    const SampleStore &samples() const { return session().samples(); }
    SampleStore &samples() { return session().samples(); }
    // What an export writes into the file's header right now.
    RecordHeader recordHeader() const { return session().header(); }
    // Wall-clock time of the first stored sample, when known.
    std::optional<qint64> startMsecs() const;

    // Whether the live trend is what the plot shows.
    bool isTrendShown() const;
    // What the plot shows of the first instrument: the live trend, or the recording or
    // imported record.
    const ChartSeries &shownSeries() const;
    // The name of the curves of `serial`: its label, or its serial without one.
    QString label(const QString &serial) const;
    // The readout beside the cursor; empty while hidden.
    QString readoutText() const;
    // The time span the statistics strip describes.
    QCPRange statisticsSpan() const;
    // Recomputes the statistics strip now rather than at its next turn.
    void updateStatistics();
    // Draws the chart as shown into a PNG (twice the screen scale) or, by the
    // suffix ".pdf", a PDF. False when it could not be drawn.
    bool drawImage(const QString &path);

    // Back from the user's own view to the one that follows the readings.
    void followReadings();
    // Whether the view follows the readings (no zoom or pan of the user's holds it).
    bool isFollowing() const { return !m_manualView; }

    // The 30 ms refresh: hands new samples to the graphs and moves the view.
    void refreshView();

    // The markers of the recording or record shown; they go into its files.
    MarkerLayer *markerLayer() const { return m_markerLayer; }

    // Not owned; nullptr restores the standard boxes and file dialog.
    void setPrompter(ChartPrompter *prompter) { m_files.setPrompter(prompter); }

signals:
    void recordingChanged(bool recording);
    // The recording ended by itself: it holds as many samples as the limit allows.
    void sampleLimitReached();

public slots:
    // A marker at the recording's latest sample (or, after it, in the middle of the view);
    // nothing while the live trend shows.
    void addMarker(const QString &text = QString());
    // The first session's live trend, for an instrument not attach()ed: its readings, and
    // whether they are coming (the live trend needs one that is).
    void addObjectReading(double v);
    void addAmbientReading(double v);
    void setLive(bool connected);
    // Leaves a finished or imported record for the live trend.
    void showLiveTrend();
    // File menu: the chart as a picture, and the record as CSV.
    void exportImage() { m_files.exportImage(); }
    void exportCsv() { m_files.exportCsv(); }

    void on_pushButton_startstop_clicked();
    // Statistics over [from, to] seconds, as if dragged out on the chart; a NaN `to` is the end.
    void selectSpan(double from, double to);
    // A recording that keeps only captures around `trigger` (see RecordingSession::setTrigger).
    void startTriggeredRecording(const Trigger &trigger);
    void on_pushButton_hc_clicked();
    void on_pushButton_mode_clicked();
    void on_pushButton_horizontal_clicked();
    void on_pushButton_vertical_clicked();
    void on_pushButton_export_clicked() { m_files.exportRecord(); }

    void horizontalZoomin();
    void horizontalZoomout();
    void verticalZoomin();
    void verticalZoomout();
    void horizontalScaleClosed();
    void verticalScaleClosed();

    void xAxisRangeChanged(const QCPRange &range);
    void yAxisRangeChanged(const QCPRange &range);

protected:
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildForm();
    void setupPlot();
    void retranslate();
    void zoomStep(QCPAxis *axis, bool zoomIn, double limit);
    void fitToTemperatures();
    void syncRecord();
    // Index into m_drawn; -1 for none.
    int sourceOf(const RecordingSession *session) const;
    // The live trend of `source` takes `instrument`'s readings from now on (none for null).
    void feedTrend(int source, Instrument *instrument);
    void appendTrend(int source, double object);
    // An instrument that stops while others go on leaves a gap in its trend; the trend shows
    // while one at least is live, and starts afresh when the first one is.
    void setSourceLive(int source, bool live);
    void clearTrends();
    void trimTrend();
    // Switches what is shown.
    void showSource(bool trend);
    void applyAutomaticView();
    void feedGraphs();
    // Whether the curves of `source` say something: while the live trend shows, the first
    // instrument's and those with readings.
    bool isListed(int source) const;
    // Lists in the legend the curves that can hold something: visible and isListed().
    void listCurves();
    void setupInteractions();
    void enterManualView();
    void restoreAutomaticView();
    void showFollowHint();
    void plotMousePress(QMouseEvent *event);
    void plotMouseMove(QMouseEvent *event);
    void plotMouseRelease(QMouseEvent *event);
    void showReadout(const QPointF &pos);
    void hideReadout();
    void setSelection(std::optional<QCPRange> span);
    void scheduleStatistics();
    QString statisticsText(const SpanStatistics &statistics) const;
    void convertUnit(int from, int to);
    void openScale(std::unique_ptr<ZoomScale> &scale,
                   void (ChartWidget::*zoomin)(),
                   void (ChartWidget::*zoomout)(),
                   void (ChartWidget::*destroyed)(),
                   int row);
    // Shows what an import brought: its samples, markers, unit and extent.
    void applyImport(RecordImport imported);
    // Shows what every session holds after files or journals were loaded into the group.
    void showGroup();
    EnvelopeGraph *graphOf(ChartSeries::Curve curve) const;
    // The series drawn for the session at `source`: its live trend or its recording.
    const ChartSeries *seriesOf(int source) const;
    // The keys of everything shown, when there is any.
    std::optional<QCPRange> shownKeys() const;
    void addCurves(const QString &serial, RecordingSession *session);
    void removeCurves(RecordingSession *session);
    // Names and pens of every curve, as many sessions as are held.
    void styleCurves();
    QString curveName(ChartSeries::Curve curve, int source) const;
    // The first session journals as soon as there is a folder for it.
    void journalFirstSession();
    void recordingFinished(RecordingSession::End end);
    void startRecording();

    QWidget *m_graphicWidget = nullptr;
    QLabel *m_statisticsLabel = nullptr;
    QWidget *m_menuWidget = nullptr;
    NavButton *m_startStopButton = nullptr;
    NavButton *m_pauseButton = nullptr;
    NavButton *m_modeButton = nullptr;
    NavButton *m_horizontalButton = nullptr;
    NavButton *m_verticalButton = nullptr;
    NavButton *m_exportButton = nullptr;

    RecordingGroup m_group;
    RecordFileFlows m_files;
    NameProvider m_names;

    // Per session of the group, in its order: the recording or imported record as drawn, and
    // what it already holds of the session's samples; its instrument's live trend (keys are
    // seconds since m_trendStartMsecs) and the connections that feed it.
    struct Drawn
    {
        RecordingSession *session;
        ChartSeries record;
        quint64 generation = 0;
        int count = 0;
        ChartSeries trend;
        double latestAmbient = 0.0;
        bool live = false;
        QVector<QMetaObject::Connection> feed;
        EnvelopeCache envelope; // of the series last drawn for it
    };
    std::vector<Drawn> m_drawn;
    // Serials an instrument was attached under: the sessions a recording keeps.
    QSet<QString> m_instrumentSerials;

    // One graph per curve drawn; `source` indexes m_drawn. The first session's object curve
    // comes first.
    struct CurveGraph
    {
        ChartSeries::Curve curve;
        int source;
        EnvelopeGraph *graph;
    };
    QCustomPlot *m_plot = nullptr;
    std::vector<CurveGraph> m_curves;

    int m_viewMode = 0;
    bool m_ambientVisible = false;
    bool m_autoFit = true;
    bool m_paused = false;
    float m_importMax = 0.0f;
    float m_importMin = 0.0f;
    // The live trends' one time axis.
    QElapsedTimer m_trendClock;
    qint64 m_trendStartMsecs = 0;
    // Some instrument's readings are coming.
    bool m_live = false;
    bool m_trendPreferred = true;

    // Bumped whenever what is shown changes; the graphs are fed for one
    // revision, range and width at a time.
    quint64 m_revision = 1;
    quint64 m_drawnRevision = 0;
    struct Fed
    {
        quint64 revision = 0;
        double lower = 0.0;
        double upper = 0.0;
        int columns = 0;
        bool ambient = false;
    } m_fed;

    // Mouse: the user's own view replaces the automatic one until a double-click.
    bool m_manualView = false;
    QCPRange m_autoXRange;
    QCPRange m_autoYRange;
    bool m_selecting = false;
    double m_selectionAnchor = 0.0;
    std::optional<QCPRange> m_selection;
    QCPItemRect *m_selectionItem = nullptr;
    QCPItemStraightLine *m_readoutLine = nullptr;
    MarkerLayer *m_markerLayer = nullptr;
    QCPItemText *m_readoutLabel = nullptr;
    QCPItemText *m_trendCaption = nullptr;
    // Says how to get back to following while the user's view holds.
    QCPItemText *m_followHint = nullptr;
    QTimer *m_statisticsTimer = nullptr;

    QTimer *m_refreshTimer = nullptr;
    std::unique_ptr<ZoomScale> m_hScale;
    std::unique_ptr<ZoomScale> m_vScale;
};

#endif // TEVRANO_CHARTWIDGET_H
