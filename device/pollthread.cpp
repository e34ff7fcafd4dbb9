#include "pollthread.h"

std::atomic<quint16> deviceModel{0};
std::atomic<bool> writeEnableRequired{true};

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

GetTempThread::GetTempThread(std::function<void(uchar)> pollOnce, QObject *parent)
    : AmbrelThread(parent)
    , m_pollOnce(std::move(pollOnce))
{
}

void GetTempThread::run()
{
    while (!stopRequested()) {
        m_pollOnce(objectTemperatureCode(deviceModel.load()));
        m_pollOnce(0x02);
    }
}
