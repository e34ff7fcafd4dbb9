#pragma once

#include <QObject>

// The few things the logger needs from the console that differ between systems.

bool stderrIsTerminal();

// A reader that closes the pipe makes the next write fail (EPIPE) instead of killing the
// process, so the run ends in order. Nothing to do where there are no such signals.
void ignoreBrokenPipe();

// Turns SIGINT and SIGTERM (on Windows: Ctrl+C, Ctrl+Break and closing the console) into the
// stopRequested signal and SIGUSR1 (Windows has none) into markerRequested, delivered on the
// thread that created the object. One instance at a time.
class StopSignals : public QObject
{
    Q_OBJECT
public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

signals:
    void stopRequested();
    void markerRequested();
};
