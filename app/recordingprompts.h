#pragma once

#include <QObject>
#include <QString>

struct MainWindowUi;
class InstrumentSet;
class QWidget;
class RecordJournal;

// The questions a recording raises in the window: what becomes of one held unsaved before
// quitting or before a new one starts, and whether one an earlier run left in the journal comes
// back. Answers go through Messages, so tests and unattended runs can give them.
class RecordingPrompts : public QObject
{
    Q_OBJECT
public:
    RecordingPrompts(const MainWindowUi &form, QWidget *window);

    // Journals recordings in `folder`, a journal per instrument; their trouble and moves are told
    // in the status bar.
    void journalIn(const QString &folder);
    // Offers back the recording left in the journal by an earlier run, or moves it aside.
    void offerJournalRecovery();
    // Asks what becomes of a running or unsaved recording; true when quitting may go on.
    bool settleBeforeQuit();
    // Files opened into the chart take the place of the recording held.
    bool settleBeforeImport();
    // An instrument to record from (any member of the set), and the recording held saved or
    // given up; false says why not.
    bool mayStart(const InstrumentSet *set);
    void stopRecording();

private:
    // Asks `question` about the recording held or running: saved (the recording stops once a
    // file is chosen), discarded, or kept as it is (false).
    bool settleHeld(const QString &question);
    void journalMovedAside(const QString &target);
    void journalFailed();
    // Tells of the trouble and moves of every session's journal; the group makes a journal anew
    // when it renames one (a second instrument joins), so this runs again then.
    void watchJournals();

    const MainWindowUi &ui;
    QWidget *m_window;
    bool m_recoveryMovePending = false;
};
