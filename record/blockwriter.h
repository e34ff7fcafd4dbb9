#ifndef TEVRANO_BLOCKWRITER_H
#define TEVRANO_BLOCKWRITER_H

#include "recordfile.h"

#include <QByteArray>
#include <QIODevice>

#include <algorithm>
#include <utility>

// Calls the callback only when the whole percentage changes: the receiver sits
// on another thread and a million queued calls would swamp it.
class ProgressReporter
{
public:
    explicit ProgressReporter(const RecordProgress &callback)
        : m_callback(callback)
    {}

    // False once the receiver asked to stop.
    bool report(int percent)
    {
        percent = std::clamp(percent, 0, 100);
        if (m_callback && percent != m_last && !m_stopped) {
            m_last = percent;
            m_stopped = !m_callback(percent);
        }
        return !m_stopped;
    }
    bool stopped() const { return m_stopped; }

private:
    const RecordProgress &m_callback;
    int m_last = -1;
    bool m_stopped = false;
};

// Collects output in a block and hands it to the device in large writes.
class BlockWriter
{
public:
    static constexpr int kChunkSize = 1 << 16;
    static constexpr int kRowSlack = 2048;

    explicit BlockWriter(QIODevice &device)
        : m_device(device)
    {
        m_buffer.resize(kChunkSize + kRowSlack);
    }

    // Room for one row: a row of three fixed-notation doubles of any magnitude
    // stays below the slack kept beyond kChunkSize.
    char *cursor() { return m_buffer.data() + m_used; }
    char *limit() { return m_buffer.data() + m_buffer.size(); }
    void advance(char *to) { m_used = int(to - m_buffer.data()); }

    bool append(const QByteArray &bytes)
    {
        return flush() && m_device.write(bytes) == bytes.size();
    }

    bool flushIfFull() { return m_used < kChunkSize || flush(); }

    bool flush()
    {
        const int used = std::exchange(m_used, 0);
        return used == 0 || m_device.write(m_buffer.constData(), used) == used;
    }

private:
    QIODevice &m_device;
    QByteArray m_buffer;
    int m_used = 0;
};

#endif // TEVRANO_BLOCKWRITER_H
