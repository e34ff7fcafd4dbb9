#include "recordfilejob.h"

#include "csvexport.h"
#include "recordfileflows.h"
#include "recordinggroup.h"
#include "recordjournal.h"

#include <QDir>
#include <QFile>

#include <new>

namespace {
// Keeps the progress dialog up long enough to be seen.
constexpr unsigned long kLingerMs = 250;
} // namespace

RecordFileJob::RecordFileJob(RecordFileFlows *owner,
                             const QString &path,
                             int mode,
                             const RecordingSession *source)
    : m_owner(owner)
    , m_path(path)
    , m_mode(mode)
{
    if (mode == WriteMode || mode == CsvMode) {
        const RecordingSession &session = source ? *source : owner->session();
        m_header = session.header();
        m_startMsecs = session.startMsecs();
        m_series = session.samples().snapshot();
    } else if (mode == GroupCsvMode) {
        // The unit and markers are the first instrument's: the chart shows every curve in it.
        m_header = owner->session().header();
        const RecordingGroup &group = owner->group();
        m_intervalMs = group.interval();
        for (const QString &serial : group.serials()) {
            const RecordingSession *session = group.session(serial);
            if (session->samples().size() == 0)
                continue;
            m_columns.append({owner->label(serial), session->samples().snapshot()});
            const std::optional<qint64> start = session->startMsecs();
            if (start && (!m_startMsecs || *start < *m_startMsecs))
                m_startMsecs = start;
        }
    } else {
        m_sampleLimit = owner->configuredSampleLimit();
    }
}

void RecordFileJob::run()
{
    const RecordProgress progress = [this](int percent) {
        emit m_owner->progress(percent);
        return !m_cancel.load();
    };
    QString error;
    if (m_mode == WriteMode || m_mode == CsvMode || m_mode == GroupCsvMode || m_mode == CopyMode) {
        try {
            if (m_mode == WriteMode) {
                m_succeeded = saveRecordFile(m_path, m_header, m_series, progress, &error);
            } else if (m_mode == CsvMode) {
                m_succeeded = saveCsvFile(m_path,
                                          m_startMsecs,
                                          m_header.unit,
                                          m_series,
                                          m_header.markers,
                                          progress,
                                          &error);
            } else if (m_mode == GroupCsvMode) {
                m_succeeded = saveGroupCsvFile(m_path,
                                               m_startMsecs,
                                               m_intervalMs,
                                               m_header.unit,
                                               m_columns,
                                               m_header.markers,
                                               progress,
                                               &error);
            } else {
                QFile source(m_source);
                const QByteArray bytes
                        = source.open(QIODevice::ReadOnly) ? source.readAll() : QByteArray();
                m_succeeded = !bytes.isEmpty()
                              && saveFileAtomically(
                                      m_path,
                                      [&](QIODevice &device) {
                                          return device.write(bytes) == bytes.size();
                                      },
                                      &error,
                                      QIODevice::NotOpen);
                if (bytes.isEmpty())
                    error = source.errorString();
            }
        } catch (const std::bad_alloc &) {
            m_succeeded = false;
            error = tr("内存不足");
        }
        if (!m_succeeded)
            emit m_owner->errorOccurred(
                    tr("无法保存文件 %1。\n原因：%2").arg(QDir::toNativeSeparators(m_path), error));
    } else if (m_mode == ReadMode || m_mode == JournalMode) {
        // The readers turn running out of memory into their own failure.
        const auto load = m_mode == ReadMode ? loadRecordFile : loadJournalFile;
        m_succeeded = load(m_path, m_import, progress, &error, m_sampleLimit);
        // A cancelled read needs no word: the user asked for it.
        if (!m_succeeded && m_import.failure != RecordFailure::Cancelled) {
            if (!error.isEmpty())
                emit m_owner->errorOccurred(tr("无法打开文件 %1。\n原因：%2")
                                                    .arg(QDir::toNativeSeparators(m_path), error));
            else if (m_import.failure == RecordFailure::TooManySamples)
                emit m_owner->errorOccurred(
                        tr("文件中的数据超过%1个，超出曲线的最大数据量，未导入。")
                                .arg(m_sampleLimit));
            else
                emit m_owner->errorOccurred(tr("无法识别的文件格式!"));
        }
        if (!m_succeeded)
            m_import = RecordImport();
    }
    msleep(kLingerMs);
    emit m_owner->fileWritten();
}
