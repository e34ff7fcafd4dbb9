#include "recordfileflows.h"

#include "chartprompter.h"
#include "chartsettings.h"
#include "groupfiles.h"
#include "recordfilejob.h"
#include "recordinggroup.h"
#include "recordjournal.h"
#include "waitdialog.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <utility>

namespace {
ChartPrompter standardPrompter;
} // namespace

RecordFileFlows::RecordFileFlows(RecordingGroup &group,
                                 QWidget *view,
                                 ShowImport showImport,
                                 ShowGroup showGroup,
                                 DrawPicture drawPicture,
                                 Label label)
    : m_group(group)
    , m_view(view)
    , m_showImport(std::move(showImport))
    , m_showGroup(std::move(showGroup))
    , m_drawPicture(std::move(drawPicture))
    , m_label(std::move(label))
    , m_prompter(&standardPrompter)
{
    connect(this, &RecordFileFlows::errorOccurred, this, &RecordFileFlows::showError);
}

void RecordFileFlows::setPrompter(ChartPrompter *prompter)
{
    m_prompter = prompter ? prompter : &standardPrompter;
}

const RecordingSession &RecordFileFlows::session() const
{
    return *m_group.session(m_group.serials().constFirst());
}

int RecordFileFlows::configuredSampleLimit() const
{
    return ::configuredSampleLimit().value_or(session().sampleLimit());
}

QVector<const RecordingSession *> RecordFileFlows::heldSessions() const
{
    QVector<const RecordingSession *> held;
    for (const QString &serial : m_group.serials()) {
        const RecordingSession *session = m_group.session(serial);
        if (session->samples().size() > 0)
            held.append(session);
    }
    return held;
}

void RecordFileFlows::showError(const QString &text)
{
    m_prompter->message(QMessageBox::Critical, nullptr, tr("错误"), text);
}

bool RecordFileFlows::refuseWhileRecording()
{
    const QStringList serials = m_group.serials();
    if (std::none_of(serials.begin(), serials.end(), [this](const QString &serial) {
            return m_group.session(serial)->isRecording();
        }))
        return false;
    m_prompter->message(QMessageBox::Warning, nullptr, tr("提示"), tr("正在记录曲线，请先停止！"));
    return true;
}

bool RecordFileFlows::refuseEmptySave()
{
    if (!heldSessions().isEmpty())
        return false;
    m_prompter->message(
            QMessageBox::Information, nullptr, tr("提示"), tr("没有记录数据，无需保存。"));
    return true;
}

bool RecordFileFlows::runFileJob(RecordFileJob &job)
{
    WaitDialog dialog;
    connect(this, &RecordFileFlows::fileWritten, &dialog, &WaitDialog::accept);
    connect(this, &RecordFileFlows::progress, &dialog, &WaitDialog::Progress);
    dialog.setCancellable(job.cancellable());
    connect(&dialog, &WaitDialog::cancelRequested, &dialog, [&job] { job.cancel(); });
    job.start(QThread::InheritPriority);
    dialog.exec();
    job.wait();
    return job.succeeded();
}

bool RecordFileFlows::saveWithProgress(RecordFileJob &job)
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
        showError(tr("无法保存文件!"));
        return;
    }
    RecordFileJob job(this, path, RecordFileJob::CopyMode);
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
    // Several instruments: one CSV with a column each.
    const QVector<const RecordingSession *> held = heldSessions();
    RecordFileJob job(this,
                      path,
                      held.size() > 1 ? RecordFileJob::GroupCsvMode : RecordFileJob::CsvMode,
                      held.constFirst());
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
    const bool csv = isCsvPath(path);
    const QVector<const RecordingSession *> held = heldSessions();
    if (held.size() <= 1 || csv) {
        RecordFileJob job(this,
                          path,
                          held.size() > 1 ? RecordFileJob::GroupCsvMode
                          : csv           ? RecordFileJob::CsvMode
                                          : RecordFileJob::WriteMode,
                          held.value(0, &session()));
        if (!saveWithProgress(job))
            return false;
    } else {
        // A record file per instrument beside the chosen name, each in the one-instrument form.
        QStringList written;
        for (const QString &serial : m_group.serials()) {
            const RecordingSession *source = m_group.session(serial);
            if (!held.contains(source))
                continue;
            RecordFileJob job(this,
                              instrumentFilePath(path, label(serial), serial, int(held.size())),
                              RecordFileJob::WriteMode,
                              source);
            if (!runFileJob(job))
                return false;
            written << QDir::toNativeSeparators(job.path());
        }
        m_prompter->message(QMessageBox::Information,
                            nullptr,
                            tr("导出数据成功"),
                            tr("信息已保存在%1！").arg(written.join(QLatin1Char('\n'))),
                            tr("确定"));
    }
    if (!m_group.isRecording() && !session().isRecording())
        m_group.discard();
    return true;
}

void RecordFileFlows::loadRecord(const QString &path)
{
    importFile(path, RecordFileJob::ReadMode);
}

void RecordFileFlows::loadRecords(const QStringList &paths)
{
    if (paths.size() == 1) {
        loadRecord(paths.constFirst());
        return;
    }
    std::optional<QVector<RecordImport>> imports = readFiles(paths, RecordFileJob::ReadMode);
    if (!imports)
        return;
    QStringList names;
    for (const QString &path : paths)
        names << QFileInfo(path).completeBaseName();
    // The first session, while no instrument has claimed it, takes the first file.
    if (m_group.serials().constFirst().isEmpty())
        m_group.rename(QString(), names.constFirst());
    // The other instruments' curves make way for the files.
    for (const QString &serial : m_group.serials()) {
        RecordingSession *held = m_group.session(serial);
        if (!names.contains(serial))
            held->samples().reset(held->sampleLimit());
    }
    m_group.loadImports(paths, std::move(*imports));
    m_showGroup();
}

bool RecordFileFlows::restoreJournals()
{
    RecordingSession &first = *m_group.session(m_group.serials().constFirst());
    const QString folder = m_group.journalFolder();
    const QVector<FoundJournal> found
            = folder.isEmpty() ? QVector<FoundJournal>() : findGroupJournals(folder);
    if (found.isEmpty())
        return false;
    if (found.size() == 1 && m_group.count() == 1) {
        // One instrument's journal, restored into the one session as an import would be.
        const std::optional<qint64> skipped
                = importFile(found.constFirst().path, RecordFileJob::JournalMode);
        if (!skipped)
            return false;
        if (!first.journal() || first.journal()->path() != found.constFirst().path)
            first.setJournalPath(found.constFirst().path);
        first.setUnsaved(true);
        reportSkipped(*skipped);
        return true;
    }
    QStringList paths;
    for (const FoundJournal &journal : found)
        paths << journal.path;
    std::optional<QVector<RecordImport>> imports = readFiles(paths, RecordFileJob::JournalMode);
    if (!imports)
        return false;
    // The first session, while no instrument has claimed it, takes the first journal's.
    if (m_group.serials().constFirst().isEmpty() && first.samples().size() == 0)
        m_group.rename(QString(), found.constFirst().serial);
    qint64 skipped = 0;
    for (int i = 0; i < found.size(); ++i) {
        skipped += (*imports)[i].skippedLines;
        m_group.restoreJournal(found.at(i), std::move((*imports)[i]));
    }
    m_showGroup();
    reportSkipped(skipped);
    return true;
}

void RecordFileFlows::reportSkipped(qint64 skipped)
{
    if (skipped > 0)
        m_prompter->message(QMessageBox::Warning,
                            nullptr,
                            tr("提示"),
                            tr("恢复的记录中有%1行无法读取，已略过。").arg(skipped));
}

std::optional<QVector<RecordImport>> RecordFileFlows::readFiles(const QStringList &paths, int mode)
{
    if (refuseWhileRecording())
        return std::nullopt;
    QVector<RecordImport> imports;
    for (const QString &path : paths) {
        RecordFileJob job(this, path, mode);
        if (!runFileJob(job))
            return std::nullopt;
        imports.append(job.takeImport());
    }
    return imports;
}

std::optional<qint64> RecordFileFlows::importFile(const QString &path, int mode)
{
    if (refuseWhileRecording())
        return std::nullopt;
    RecordFileJob job(this, path, mode);
    if (!runFileJob(job))
        return std::nullopt;
    RecordImport imported = job.takeImport();
    const qint64 skipped = imported.skippedLines;
    m_showImport(std::move(imported));
    return skipped;
}
