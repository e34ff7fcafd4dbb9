#include "recordfileflows.h"

#include "chartprompter.h"
#include "chartsettings.h"
#include "recordingsession.h"
#include "recordjournal.h"
#include "waitdialog.h"
#include "writefilethread.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <utility>

namespace {
ChartPrompter standardPrompter;
} // namespace

RecordFileFlows::RecordFileFlows(RecordingSession &session,
                                 QWidget *view,
                                 ShowImport showImport,
                                 DrawPicture drawPicture)
    : m_session(session)
    , m_view(view)
    , m_showImport(std::move(showImport))
    , m_drawPicture(std::move(drawPicture))
    , m_prompter(&standardPrompter)
{
    connect(this, &RecordFileFlows::occurerror, this, &RecordFileFlows::showErrorInfo);
}

void RecordFileFlows::setPrompter(ChartPrompter *prompter)
{
    m_prompter = prompter ? prompter : &standardPrompter;
}

int RecordFileFlows::configuredSampleLimit() const
{
    return ::configuredSampleLimit().value_or(m_session.sampleLimit());
}

void RecordFileFlows::showErrorInfo(const QString &text)
{
    m_prompter->message(QMessageBox::Critical, nullptr, tr("错误"), text);
}

bool RecordFileFlows::refuseWhileRecording()
{
    if (!m_session.isRecording())
        return false;
    m_prompter->message(QMessageBox::Warning, nullptr, tr("提示"), tr("正在记录曲线，请先停止！"));
    return true;
}

bool RecordFileFlows::refuseEmptySave()
{
    if (m_session.samples().size() > 0)
        return false;
    m_prompter->message(
            QMessageBox::Information, nullptr, tr("提示"), tr("没有记录数据，无需保存。"));
    return true;
}

bool RecordFileFlows::runFileJob(WriteFileThread &job)
{
    WaitDialog dialog;
    connect(this, &RecordFileFlows::writefinish, &dialog, &WaitDialog::accept);
    connect(this, &RecordFileFlows::progress, &dialog, &WaitDialog::Progress);
    dialog.setCancellable(job.cancellable());
    connect(&dialog, &WaitDialog::cancelRequested, &dialog, [&job] { job.cancel(); });
    job.start(QThread::InheritPriority);
    dialog.exec();
    job.wait();
    return job.succeeded();
}

bool RecordFileFlows::saveWithProgress(WriteFileThread &job)
{
    if (!runFileJob(job))
        return false;
    m_prompter->message(QMessageBox::Information,
                        nullptr,
                        tr("导出数据成功"),
                        tr("信息已保存在%1！").arg(job.path()),
                        tr("确定"));
    return true;
}

void RecordFileFlows::exportImage()
{
    const QString filter = tr("图片 (*.png *.pdf)");
    const QString path = withFilterSuffix(m_prompter->exportFileName(m_view, filter), filter);
    if (path.isEmpty())
        return;
    // Drawn here, where the plot lives; the file is put in place off this thread.
    QTemporaryDir drafts;
    const QString draft = drafts.filePath(QStringLiteral("chart.") + QFileInfo(path).suffix());
    if (!drafts.isValid() || !m_drawPicture(draft)) {
        showErrorInfo(tr("无法保存文件!"));
        return;
    }
    WriteFileThread job(this, path, WriteFileThread::CopyMode);
    job.setSource(draft);
    saveWithProgress(job);
}

void RecordFileFlows::exportCsv()
{
    if (refuseWhileRecording() || refuseEmptySave())
        return;
    const QString filter = tr("CSV 文件 (*.csv)");
    const QString path = withFilterSuffix(m_prompter->exportFileName(m_view, filter), filter);
    if (path.isEmpty())
        return;
    WriteFileThread job(this, path, WriteFileThread::CsvMode);
    saveWithProgress(job);
}

bool RecordFileFlows::exportRecord()
{
    if (refuseEmptySave())
        return false;
    return saveRecordTo(askRecordPath());
}

QString RecordFileFlows::askRecordPath()
{
    return withFilterSuffix(m_prompter->saveFileName(m_view), recordSaveFilter());
}

bool RecordFileFlows::saveRecordTo(const QString &path)
{
    // A running recording is saved as far as it goes and keeps running, journal and all.
    if (path.isEmpty())
        return false;
    // A name ending in ".csv" asks for the spreadsheet's form, whatever filter was shown.
    WriteFileThread job(
            this, path, isCsvPath(path) ? WriteFileThread::CsvMode : WriteFileThread::WriteMode);
    if (!saveWithProgress(job))
        return false;
    if (!m_session.isRecording())
        m_session.discard();
    return true;
}

void RecordFileFlows::loadRecord(const QString &path)
{
    importFile(path, WriteFileThread::ReadMode);
}

bool RecordFileFlows::restoreJournal()
{
    if (!m_session.journal())
        return false;
    const std::optional<qint64> skipped
            = importFile(m_session.journal()->path(), WriteFileThread::JournalMode);
    if (!skipped)
        return false;
    m_session.setUnsaved(true);
    if (*skipped > 0)
        m_prompter->message(QMessageBox::Warning,
                            nullptr,
                            tr("提示"),
                            tr("恢复的记录中有%1行无法读取，已略过。").arg(*skipped));
    return true;
}

std::optional<qint64> RecordFileFlows::importFile(const QString &path, int mode)
{
    if (refuseWhileRecording())
        return std::nullopt;
    WriteFileThread job(this, path, mode);
    if (!runFileJob(job))
        return std::nullopt;
    RecordImport imported = job.takeImport();
    const qint64 skipped = imported.skippedLines;
    m_showImport(std::move(imported));
    return skipped;
}
