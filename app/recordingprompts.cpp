#include "recordingprompts.h"

#include "chartwidget.h"
#include "instrumentstate.h"
#include "mainwindow_ui.h"
#include "messages.h"
#include "navbutton.h"
#include "recordinggroup.h"
#include "recordjournal.h"

#include <QDir>
#include <QFileInfo>
#include <QStatusBar>

#include <utility>

namespace {

constexpr int JournalNoteMs = 60000;

} // namespace

RecordingPrompts::RecordingPrompts(const MainWindowUi &form, QWidget *window)
    : QObject(window)
    , ui(form)
    , m_window(window)
{}

void RecordingPrompts::journalIn(const QString &folder)
{
    ui.chartWidget->setJournalFolder(folder);
    RecordingGroup &group = ui.chartWidget->group();
    watchJournals();
    connect(&group, &RecordingGroup::sessionAdded, this, &RecordingPrompts::watchJournals);
    connect(&group, &RecordingGroup::started, this, &RecordingPrompts::watchJournals);
}

void RecordingPrompts::watchJournals()
{
    const RecordingGroup &group = ui.chartWidget->group();
    for (const QString &serial : group.serials()) {
        RecordJournal *journal = group.session(serial)->journal();
        if (!journal)
            continue;
        connect(journal,
                &RecordJournal::failed,
                this,
                &RecordingPrompts::journalFailed,
                Qt::UniqueConnection);
        connect(journal,
                &RecordJournal::movedAside,
                this,
                &RecordingPrompts::journalMovedAside,
                Qt::UniqueConnection);
    }
}

void RecordingPrompts::journalFailed()
{
    ui.statusBar->showMessage(tr("记录日志无法写入，记录只保存在内存中"), JournalNoteMs);
}

bool RecordingPrompts::settleBeforeQuit()
{
    return settleHeld(tr("记录尚未保存。退出前要保存吗？"));
}

bool RecordingPrompts::settleBeforeImport()
{
    return settleHeld(tr("记录尚未保存。导入前要保存吗？"));
}

bool RecordingPrompts::settleHeld(const QString &question)
{
    ChartWidget *chart = ui.chartWidget;
    if (!chart->isRecording() && !chart->hasUnsavedRecording())
        return true;
    // Nothing recorded yet: nothing to save, nothing to ask.
    if (chart->samples().size() == 0) {
        stopRecording();
        chart->discardRecording();
        return true;
    }
    for (;;) {
        const QMessageBox::StandardButton answer
                = Messages::ask(m_window,
                                tr("提示"),
                                question,
                                {{QMessageBox::Save, tr("保存")},
                                 {QMessageBox::Discard, tr("放弃")},
                                 {QMessageBox::Cancel, tr("取消")}});
        if (answer == QMessageBox::Cancel)
            return false;
        if (answer == QMessageBox::Discard) {
            stopRecording();
            chart->discardRecording();
            return true;
        }
        // The recording runs on until a file is chosen; no choice asks again.
        const QString path = chart->askRecordPath();
        if (path.isEmpty())
            continue;
        stopRecording();
        if (chart->saveRecordTo(path))
            return true;
    }
}

void RecordingPrompts::stopRecording()
{
    if (!ui.chartWidget->isRecording())
        return;
    ui.chartWidget->on_pushButton_startstop_clicked();
    ui.navButton_startstop->setText(tr("开始"));
}

bool RecordingPrompts::mayStart(const InstrumentSet *set)
{
    if (!anyMemberOpen(set)) {
        Messages::information(m_window, tr("提示"), tr("设备未连接"));
        return false;
    }
    // A new recording would replace the one held.
    return !ui.chartWidget->hasUnsavedRecording()
           || settleHeld(tr("记录尚未保存。开始新记录前要保存吗？"));
}

void RecordingPrompts::offerJournalRecovery()
{
    RecordJournal *journal = ui.chartWidget->journal();
    // A recording of several instruments left a journal each instead of the one.
    const bool alone = QFileInfo::exists(journal->path());
    if (!alone && findGroupJournals(QFileInfo(journal->path()).path()).isEmpty())
        return;
    // A FIFO, a device or a folder in its place holds no recording: never opened, and moved
    // aside by the next recording.
    if (alone && !QFileInfo(journal->path()).isFile()) {
        ui.statusBar->showMessage(
                tr("记录日志%1不是普通文件，已忽略").arg(QDir::toNativeSeparators(journal->path())),
                JournalNoteMs);
        return;
    }
    const QMessageBox::StandardButton answer
            = Messages::ask(m_window,
                            tr("恢复记录"),
                            tr("上次的记录没有保存就中断了。要恢复它吗？"),
                            {{QMessageBox::Yes, tr("是")}, {QMessageBox::No, tr("否")}});
    if (answer == QMessageBox::Yes && ui.chartWidget->restoreJournal())
        return;
    // The other instruments' journals are moved aside as their next recording opens them.
    if (!alone)
        return;
    m_recoveryMovePending = true;
    journal->moveAside();
}

void RecordingPrompts::journalMovedAside(const QString &target)
{
    const QString shown = QDir::toNativeSeparators(target);
    if (!std::exchange(m_recoveryMovePending, false)) {
        ui.statusBar->showMessage(tr("上一个未保存的记录已移至%1").arg(shown), JournalNoteMs);
        return;
    }
    if (target.isEmpty())
        Messages::critical(
                m_window,
                tr("错误"),
                tr("无法移动记录日志，它仍在%1")
                        .arg(QDir::toNativeSeparators(ui.chartWidget->journal()->path())));
    else
        Messages::information(m_window, tr("提示"), tr("未恢复的记录已移至%1").arg(shown));
}
