#pragma once

// Several simulated instruments, each on a pseudo-terminal of its own and answering with its
// serial number, and a set that searches exactly their ports.
#include "../../simulators.h"
#include "instrumentset.h"

#include <QTemporaryDir>

class SimulatedInstruments
{
public:
    // Starts a simulator per serial number, all reading `celsius`, and the set's search on their
    // ports; false when a simulator cannot start.
    bool start(const QList<quint32> &serialNumbers, double celsius)
    {
        if (!dir.isValid()
            || !simulators.start(dir, serialNumbers, [celsius](quint32) { return celsius; }))
            return false;
        set.start(simulators.ports);
        return true;
    }
    InstrumentSimulator &sim(int index) { return *simulators.sims.at(std::size_t(index)); }

    QTemporaryDir dir;
    Simulators simulators;
    InstrumentSet set; // goes before the simulators: its members see no port vanish
};
