#ifndef TEVRANO_RECORDFILEFLOWS_H
#define TEVRANO_RECORDFILEFLOWS_H

#include "recordfile.h"

#include <QObject>

#include <functional>
#include <optional>

class ChartPrompter;
class QWidget;
class RecordingGroup;
class RecordingSession;
class RecordFileJob;

// The record-file flows of a chart: import of record files or restored journals, export of
// the record files (one per instrument), the CSV export and the picture export, each behind its
// progress dialog and boxes. The files are read and written off the GUI thread; what an import
// brings is handed to the view that shows it. Every question goes through the prompter, so tests
// answer for the user.
class RecordFileFlows : public QObject
{
    Q_OBJECT

public:
    // Puts an imported record on show (samples, markers, view).
    using ShowImport = std::function<void(RecordImport)>;
    // Puts what the group's sessions now hold on show, after files or journals were loaded.
    using ShowGroup = std::function<void()>;
    // An instrument's label by its serial number.
    using Label = std::function<QString(const QString &serial)>;
    // Draws the chart as shown into `path`; false when it could not be drawn.
    using DrawPicture = std::function<bool(const QString &path)>;

    // `view` parents the file dialogs and outlives the flows.
    RecordFileFlows(RecordingGroup &group,
                    QWidget *view,
                    ShowImport showImport,
                    ShowGroup showGroup,
                    DrawPicture drawPicture,
                    Label label);

    // Not owned; nullptr restores the standard boxes and file dialog.
    void setPrompter(ChartPrompter *prompter);
    ChartPrompter &prompter() const { return *m_prompter; }

    // What a job writes or reads: the first instrument's session, and all of them.
    const RecordingSession &session() const;
    const RecordingGroup &group() const { return m_group; }
    QString label(const QString &serial) const { return m_label(serial); }
    // The sample limit the settings give, whatever an import set; an import beyond it is refused.
    int configuredSampleLimit() const;

    // Reads a record file into the chart behind a progress dialog.
    void loadRecord(const QString &path);
    // Several record files into one chart, a curve each on one time axis; nothing when one of
    // them does not load.
    void loadRecords(const QStringList &paths);
    // Loads the journals an earlier run left in the group's journal folder as imports would,
    // marked unsaved; false when none holds a record.
    bool restoreJournals();
    // Asks for the path and saves; true once the files were written.
    bool exportRecord();
    // Its two halves: the path the user chose (empty when cancelled), and the save to it: with
    // several instruments a record file each beside it (instrumentFilePath), or with a ".csv"
    // name one CSV with a column each.
    QString askRecordPath();
    bool saveRecordTo(const QString &path);
    void exportImage();
    void exportCsv();

signals:
    void fileWritten();
    void progress(int percent);
    void errorOccurred(const QString &text);

private:
    void showError(const QString &text);
    bool refuseWhileRecording();
    // The sessions holding samples, in the group's order.
    QVector<const RecordingSession *> heldSessions() const;
    // Nothing recorded or imported: says so instead of writing an empty file.
    bool refuseEmptySave();
    bool runFileJob(RecordFileJob &job);
    bool saveWithProgress(RecordFileJob &job);
    // The lines the import skipped, or nothing when it failed.
    std::optional<qint64> importFile(const QString &path, int mode);
    // Each file read off this thread; nothing when one fails.
    std::optional<QVector<RecordImport>> readFiles(const QStringList &paths, int mode);
    void reportSkipped(qint64 skipped);

    RecordingGroup &m_group;
    QWidget *const m_view;
    const ShowImport m_showImport;
    const ShowGroup m_showGroup;
    const DrawPicture m_drawPicture;
    const Label m_label;
    ChartPrompter *m_prompter;
};

#endif // TEVRANO_RECORDFILEFLOWS_H
