#ifndef TEVRANO_TTWIDGET_H
#define TEVRANO_TTWIDGET_H

#include "chartlod.h"
#include "recordfile.h"
#include "recordingsession.h"

#include <QElapsedTimer>
#include <QWidget>

#include <memory>
#include <optional>

class AmbreleScale;
class ChartPrompter;
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
class WriteFileThread;

// The chart page: a view of a recording session. It plots the session's object and ambient
// temperatures against the seconds since the recording started; while no recording runs and an
// instrument is connected it shows the last minutes of readings instead (the live trend), which
// are never recorded. Runs on the GUI thread; the session samples on a thread of its own.
class ttwidget : public QWidget
{
    Q_OBJECT

public:
    explicit ttwidget(QWidget *parent = nullptr);
    ~ttwidget() override;

    bool isRecording() const { return m_session.isRecording(); }
    // The recording the chart shows and its record-file flows write.
    RecordingSession &session() { return m_session; }
    const RecordingSession &session() const { return m_session; }
    // The unit of the samples held (1 Fahrenheit, 2 Celsius).
    int unit() const { return m_session.unit(); }
    // 1 Fahrenheit, 2 Celsius; other codes are stored but leave the axis label. From one known
    // unit to the other the samples held, the latest readings and the value axis are converted.
    void setUnit(int code);
    // Drops every sample and makes `n` the sample limit of a recording.
    void setCacheSize(int n);
    void setRecordInterval(int ms);
    void setAmbientVisible(bool on);
    // Stops sampling and closes the page (program shutdown).
    void stopAndClose();
    // Import flow: reads a record file into the chart behind a progress dialog.
    void loadRecord(const QString &path);
    // Export flow (asks for the path); true once the file was written.
    bool exportRecord();
    // Its two halves: the path the user chose (empty when cancelled), and the save to it.
    QString askRecordPath();
    bool saveRecordTo(const QString &path);

    // Every recording from the next one on is journalled at `path`; empty
    // keeps no journal.
    void setJournalPath(const QString &path) { m_session.setJournalPath(path); }
    // Null without a journal path.
    RecordJournal *journal() const { return m_session.journal(); }
    // Loads the journal an earlier run left behind as an import would, marked
    // unsaved; false when it holds no record.
    bool restoreJournal();
    // A recording, or a restored journal, neither saved nor discarded yet.
    bool hasUnsavedRecording() const { return m_session.hasUnsaved(); }
    // The held recording needs no keeping any more (saved, or given up by the
    // user): its journal goes.
    void discardRecording();
    // Applies the stored "ChartLineCache" and "ChartLineFPS" (after the chart
    // settings dialog was accepted); drops every sample.
    void applyChartSettings();

    int cacheSize() const { return m_session.sampleLimit(); }
    // The sample limit the settings give ("ChartLineCache" thousands), whatever an import set.
    int configuredCacheSize() const;
    int recordInterval() const { return m_session.interval(); }
    const SampleStore &samples() const { return m_session.samples(); }
    SampleStore &samples() { return m_session.samples(); }
    // What an export writes into the file's header right now.
    RecordHeader recordHeader() const { return m_session.header(); }
    // Wall-clock time of the first stored sample, when known.
    std::optional<qint64> startMsecs() const { return m_session.startMsecs(); }

    // Whether the live trend is what the plot shows.
    bool isTrendShown() const;
    // What the plot shows: the live trend, or the recording or imported record.
    const ChartSeries &shownSeries() const;
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
    void setPrompter(ChartPrompter *prompter);

    // Read and written by the main window on the GUI thread.
    int viewMode = 0; // 0 scrolling window, 1 whole recording
    bool ambientVisible = false;
    // The chart follows the readings: fits them until the user zooms or pans.
    bool autoFit = true;
    bool paused = false;
    float importMax = 0.0f;
    float importMin = 0.0f;

    QCustomPlot *plot = nullptr;
    EnvelopeGraph *temperatureGraph = nullptr;
    EnvelopeGraph *ambientGraph = nullptr;

signals:
    void writefinish();
    void progress(int percent);
    void startstop(bool recording);
    void occurerror(const QString &text);
    // The recording ended by itself: it holds as many samples as the limit allows.
    void sampleLimitReached();

public slots:
    // A marker at the recording's latest sample (or, after it, in the middle of the view);
    // nothing while the live trend shows.
    void addMarker(const QString &text = QString());
    void UpdateTemp(double v);
    void UpdateTempAmb(double v);
    // Whether an instrument is connected: the live trend needs one.
    void setLive(bool connected);
    // Leaves a finished or imported record for the live trend.
    void showLiveTrend();
    // File menu: the chart as a picture, and the record as CSV.
    void exportImage();
    void exportCsv();

    void on_pushButton_startstop_clicked();
    // Statistics over [from, to] seconds, as if dragged out on the chart; a NaN `to` is the end.
    void selectSpan(double from, double to);
    // A recording that keeps only captures around `trigger` (see RecordingSession::setTrigger).
    void startTriggeredRecording(const Trigger &trigger);
    void on_pushButton_hc_clicked();
    void on_pushButton_mode_clicked();
    void on_pushButton_horizontal_clicked();
    void on_pushButton_vertical_clicked();
    void on_pushButton_export_clicked();

    void horizontalZoomin();
    void horizontalZoomout();
    void verticalZoomin();
    void verticalZoomout();
    void hScaleDestory();
    void vScaleDestory();

    void xAxisRangeChanged(const QCPRange &range);
    void yAxisRangeChanged(const QCPRange &range);

    void showErrorInfo(const QString &text);

protected:
    void resizeEvent(QResizeEvent *event) override;
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
    void appendTrend(double object);
    void trimTrend();
    // Switches what is shown.
    void showSource(bool trend);
    void applyAutomaticView();
    void feedGraphs();
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
    bool saveWithProgress(WriteFileThread &job);
    void convertUnit(int from, int to);
    void openScale(std::unique_ptr<AmbreleScale> &scale,
                   void (ttwidget::*zoomin)(),
                   void (ttwidget::*zoomout)(),
                   void (ttwidget::*destroyed)(),
                   int row);
    bool refuseWhileRecording();
    // Nothing recorded or imported: says so instead of writing an empty file.
    bool refuseEmptySave();
    bool runFileJob(WriteFileThread &job);
    // Import flow for a record file or a journal; the lines it skipped, or
    // nothing when it failed.
    std::optional<qint64> importFile(const QString &path, int mode);
    void applyImport(RecordImport imported);
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

    RecordingSession m_session;
    // The latest ambient reading, for the live trend.
    double m_latestAmbient = 0.0;

    // The recording or imported record as drawn, and what it already holds
    // of the session's samples.
    ChartSeries m_record;
    quint64 m_handedGeneration = 0;
    int m_handedCount = 0;

    // The live trend: keys are seconds since m_trendStartMsecs.
    ChartSeries m_trend;
    QElapsedTimer m_trendClock;
    qint64 m_trendStartMsecs = 0;
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
    std::unique_ptr<AmbreleScale> m_hScale;
    std::unique_ptr<AmbreleScale> m_vScale;
    ChartPrompter *m_prompter;
};

#endif // TEVRANO_TTWIDGET_H
