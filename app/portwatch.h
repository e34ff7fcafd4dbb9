#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

// Notices serial ports that come and go while it runs: an instrument plugged in after the
// start-up search is then found without the user asking. Looks at the port list once a
// second; only ports whose device exists count.
class PortWatch : public QObject
{
    Q_OBJECT
public:
    explicit PortWatch(QObject *parent = nullptr);

    // The present ports, in the order the program searches them.
    static QStringList presentPorts();

    // Starting takes the present ports as known, so only later arrivals are reported.
    void start();
    void stop();
    bool isActive() const { return m_timer.isActive(); }
    // One look now (the timer's tick).
    void check();

signals:
    // The list changed; `added` holds the ports that were not there at the last look.
    void portsChanged(const QStringList &ports, const QStringList &added);

private:
    QTimer m_timer;
    QStringList m_known;
};
