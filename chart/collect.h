#ifndef TEVRANO_COLLECT_H
#define TEVRANO_COLLECT_H

#include <QObject>
#include <QThread>

class QTimer;

// The chart's sampling clock: a precise timer on a thread of its own, so the
// sampling pace does not suffer when the GUI thread is busy drawing.
class Collect : public QObject
{
    Q_OBJECT

public:
    // Created without parent: the object lives on its own thread.
    Collect();
    // Stops the timer on its thread and ends the thread.
    ~Collect() override;

public slots:
    void start(int ms);
    void stop();
    void TimerOutEvent();

signals:
    void timeOut();

private:
    QThread m_thread;
    QTimer *m_timer;
};

#endif // TEVRANO_COLLECT_H
