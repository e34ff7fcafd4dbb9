#include "writefilethread.h"

#include "recordjournal.h"
#include "ttwidget.h"

#include <QDebug>

namespace {
// Keeps the progress dialog up long enough to be seen.
constexpr unsigned long kLingerMs = 250;
} // namespace

WriteFileThread::WriteFileThread(ttwidget *owner, const QString &path, int mode)
    : m_owner(owner)
    , m_path(path)
    , m_mode(mode)
{
    if (mode == WriteMode) {
        m_header = owner->recordHeader();
        m_series = owner->samples().snapshot();
    }
}

void WriteFileThread::run()
{
    const RecordProgress progress = [this](int percent) {
        emit m_owner->progress(percent);
    };
    QString error;
    if (m_mode == WriteMode) {
        m_succeeded = saveRecordFile(m_path, m_header, m_series, progress, &error);
        if (!m_succeeded) {
            qDebug().noquote() << error;
            emit m_owner->occurerror(tr("无法保存文件!"));
        }
    } else if (m_mode == ReadMode || m_mode == JournalMode) {
        const auto load = m_mode == ReadMode ? loadRecordFile : loadJournalFile;
        m_succeeded = load(m_path, m_import, progress, &error);
        if (!m_succeeded) {
            if (!error.isEmpty())
                qDebug().noquote() << error;
            emit m_owner->occurerror(tr("无法识别的文件格式!"));
        }
    }
    msleep(kLingerMs);
    emit m_owner->writefinish();
}
