#ifndef TEVRANO_RECORDFILEFLOWS_H
#define TEVRANO_RECORDFILEFLOWS_H

#include "recordfile.h"

#include <QObject>

#include <functional>
#include <optional>

class ChartPrompter;
class QWidget;
class RecordingSession;
class WriteFileThread;

// The record-file flows of a chart: import of a record file or a restored journal, export of
// the record file, the CSV export and the picture export, each behind its progress dialog and
// boxes. The files are read and written off the GUI thread; what an import brings is handed to
// the view that shows it. Every question goes through the prompter, so tests answer for the user.
class RecordFileFlows : public QObject
{
    Q_OBJECT

public:
    // Puts an imported record on show (samples, markers, view).
    using ShowImport = std::function<void(RecordImport)>;
    // Draws the chart as shown into `path`; false when it could not be drawn.
    using DrawPicture = std::function<bool(const QString &path)>;

    // `view` parents the file dialogs and outlives the flows.
    RecordFileFlows(RecordingSession &session,
                    QWidget *view,
                    ShowImport showImport,
                    DrawPicture drawPicture);

    // Not owned; nullptr restores the standard boxes and file dialog.
    void setPrompter(ChartPrompter *prompter);
    ChartPrompter &prompter() const { return *m_prompter; }

    // What the job writes or reads: the session's samples and header.
    const RecordingSession &session() const { return m_session; }
    // The sample limit the settings give, whatever an import set; an import beyond it is refused.
    int configuredSampleLimit() const;

    // Reads a record file into the chart behind a progress dialog.
    void loadRecord(const QString &path);
    // Loads the journal an earlier run left behind as an import would, marked unsaved; false
    // when it holds no record.
    bool restoreJournal();
    // Asks for the path and saves; true once the file was written.
    bool exportRecord();
    // Its two halves: the path the user chose (empty when cancelled), and the save to it.
    QString askRecordPath();
    bool saveRecordTo(const QString &path);
    void exportImage();
    void exportCsv();

signals:
    void writefinish();
    void progress(int percent);
    void occurerror(const QString &text);

private:
    void showErrorInfo(const QString &text);
    bool refuseWhileRecording();
    // Nothing recorded or imported: says so instead of writing an empty file.
    bool refuseEmptySave();
    bool runFileJob(WriteFileThread &job);
    bool saveWithProgress(WriteFileThread &job);
    // The lines the import skipped, or nothing when it failed.
    std::optional<qint64> importFile(const QString &path, int mode);

    RecordingSession &m_session;
    QWidget *const m_view;
    const ShowImport m_showImport;
    const DrawPicture m_drawPicture;
    ChartPrompter *m_prompter;
};

#endif // TEVRANO_RECORDFILEFLOWS_H
