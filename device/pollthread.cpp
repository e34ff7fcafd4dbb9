#include "pollthread.h"

#include <QElapsedTimer>

#include <algorithm>

namespace {
// A paced loop waits in slices this long, so a stop never waits for a whole interval.
constexpr int StopCheckMs = 10;
} // namespace

uchar objectTemperatureCode(quint16 model)
{
    return (model == 0x0601 || model == 0x0602) ? 0x08 : 0x01;
}

void AmbrelThread::start(Priority priority)
{
    m_stop.store(false);
    QThread::start(priority);
}

void AmbrelThread::stop()
{
    m_stop.store(true);
    quit();
    wait();
}

GetTempThread::GetTempThread(std::function<uchar()> objectCode,
                             std::function<void(uchar)> pollOnce,
                             QObject *parent)
    : AmbrelThread(parent)
    , m_objectCode(std::move(objectCode))
    , m_pollOnce(std::move(pollOnce))
{}

void GetTempThread::run()
{
    QElapsedTimer step;
    while (!stopRequested()) {
        step.start();
        m_pollOnce(m_objectCode());
        m_pollOnce(0x02);
        const int interval = m_intervalMs.load();
        while (!stopRequested() && step.elapsed() < interval)
            msleep(ulong(std::clamp<qint64>(interval - step.elapsed(), 1, StopCheckMs)));
    }
}
