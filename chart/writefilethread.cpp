#include "writefilethread.h"

#include "csvexport.h"
#include "ttwidget.h"

#include <QDebug>
#include <QFile>

namespace {
// Keeps the progress dialog up long enough to be seen.
constexpr unsigned long kLingerMs = 250;
} // namespace

WriteFileThread::WriteFileThread(ttwidget *owner, const QString &path, int mode)
    : m_owner(owner)
    , m_path(path)
    , m_mode(mode)
{
    if (mode == WriteMode || mode == CsvMode) {
        m_header = owner->recordHeader();
        m_startMsecs = owner->startMsecs();
        m_series = owner->samples().snapshot();
    }
}

void WriteFileThread::run()
{
    const RecordProgress progress = [this](int percent) {
        emit m_owner->progress(percent);
    };
    QString error;
    if (m_mode == WriteMode || m_mode == CsvMode || m_mode == CopyMode) {
        if (m_mode == WriteMode) {
            m_succeeded = saveRecordFile(m_path, m_header, m_series, progress, &error);
        } else if (m_mode == CsvMode) {
            m_succeeded
                    = saveCsvFile(m_path, m_startMsecs, m_header.unit, m_series, progress, &error);
        } else {
            QFile source(m_source);
            const QByteArray bytes = source.open(QIODevice::ReadOnly) ? source.readAll()
                                                                      : QByteArray();
            m_succeeded = !bytes.isEmpty()
                          && saveFileAtomically(
                                  m_path,
                                  [&](QIODevice &device) {
                                      return device.write(bytes) == bytes.size();
                                  },
                                  &error,
                                  QIODevice::NotOpen);
        }
        if (!m_succeeded) {
            qDebug().noquote() << error;
            emit m_owner->occurerror(tr("无法保存文件!"));
        }
    } else if (m_mode == ReadMode) {
        m_succeeded = loadRecordFile(m_path, m_import, progress, &error);
        if (!m_succeeded) {
            if (!error.isEmpty())
                qDebug().noquote() << error;
            emit m_owner->occurerror(tr("无法识别的文件格式!"));
        }
    }
    msleep(kLingerMs);
    emit m_owner->writefinish();
}
