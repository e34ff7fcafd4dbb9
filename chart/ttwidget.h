#ifndef TEVRANO_TTWIDGET_H
#define TEVRANO_TTWIDGET_H

#include "recordfile.h"
#include "samplestore.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QMutex>
#include <QWidget>

#include <atomic>
#include <memory>
#include <optional>

class AmbreleScale;
class ChartPrompter;
class Collect;
class NavButton;
class QCPAxis;
class QCPGraph;
class QCPRange;
class QCustomPlot;
class QTimer;
class WriteFileThread;

// The chart page: plots the object and ambient temperatures against the
// seconds since a recording started and owns the recording's samples.
//
// Threads: everything runs on the GUI thread except Recording(), which the
// sampling thread calls directly. What both threads touch is either atomic
// (recording, the latest readings, the sample limit) or inside SampleStore.
class ttwidget : public QWidget
{
    Q_OBJECT

public:
    explicit ttwidget(QWidget *parent = nullptr);
    ~ttwidget() override;

    bool isRecording() const { return recording; }
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
    // Applies the stored "ChartLineCache" and "ChartLineFPS" (after the chart
    // settings dialog was accepted); drops every sample.
    void applyChartSettings();

    int cacheSize() const { return m_cacheSize; }
    int recordInterval() const { return m_recordInterval; }
    const SampleStore &samples() const { return m_samples; }
    SampleStore &samples() { return m_samples; }
    // What an export writes into the file's header right now.
    RecordHeader recordHeader() const;

    // The 30 ms refresh: hands new samples to the graphs and moves the view.
    void refreshView();

    // Not owned; nullptr restores the standard boxes and file dialog.
    void setPrompter(ChartPrompter *prompter);

    // Read and written by the main window on the GUI thread.
    int viewMode = 0; // 0 scrolling window, 1 whole recording
    bool ambientVisible = false;
    bool autoFit = false;
    bool paused = false;
    float emissivity = 0.0f;
    int unit = 2;
    float importMax = 0.0f;
    float importMin = 0.0f;
    // Also read by the sampling thread.
    std::atomic<bool> recording{false};

    QCustomPlot *plot = nullptr;
    QCPGraph *temperatureGraph = nullptr;
    QCPGraph *ambientGraph = nullptr;

signals:
    void writefinish();
    void progress(int percent);
    void startstop(bool recording);
    void occurerror(const QString &text);
    void startcollect(int ms);
    void stopcollect();
    void stopcollecttips();

public slots:
    void UpdateTemp(double v);
    void UpdateTempAmb(double v);
    // The sampling step; runs on the sampling thread.
    void Recording();

    void on_pushButton_startstop_clicked();
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

    void stopcollectinfo();
    void showErrorInfo(const QString &text);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildForm();
    void setupPlot();
    void retranslate();
    void zoomStep(QCPAxis *axis, bool zoomIn, double limit);
    void fitToTemperatures(const SampleStore::Tail &tail);
    void convertUnit(int from, int to);
    void openScale(std::unique_ptr<AmbreleScale> &scale,
                   void (ttwidget::*zoomin)(),
                   void (ttwidget::*zoomout)(),
                   void (ttwidget::*destroyed)(),
                   int row);
    bool refuseWhileRecording();
    bool runFileJob(WriteFileThread &job);
    void applyImport(RecordImport imported);

    QWidget *m_graphicWidget = nullptr;
    QWidget *m_menuWidget = nullptr;
    NavButton *m_startStopButton = nullptr;
    NavButton *m_pauseButton = nullptr;
    NavButton *m_modeButton = nullptr;
    NavButton *m_horizontalButton = nullptr;
    NavButton *m_verticalButton = nullptr;
    NavButton *m_exportButton = nullptr;

    SampleStore m_samples;
    std::atomic<int> m_cacheSize{0};
    std::atomic<int> m_recordInterval{10}; // also read by the sampling thread
    std::atomic<double> m_latestTemperature{0.0};
    std::atomic<double> m_latestAmbient{0.0};
    // Held by a sampling step and by a unit conversion, so no sample mixes the units.
    QMutex m_samplingLock;
    // When the latest object reading arrived, on m_readingClock; unset before the first.
    QElapsedTimer m_readingClock;
    std::atomic<qint64> m_latestAt{-1};
    QDateTime m_startTime;
    // Unset until a recording starts; an import clears it again.
    std::optional<qint64> m_startMsecs;

    // What the graphs already hold of m_samples.
    quint64 m_handedGeneration = 0;
    int m_handedCount = 0;

    std::unique_ptr<Collect> m_collect;
    QTimer *m_refreshTimer = nullptr;
    std::unique_ptr<AmbreleScale> m_hScale;
    std::unique_ptr<AmbreleScale> m_vScale;
    ChartPrompter *m_prompter;
};

#endif // TEVRANO_TTWIDGET_H
