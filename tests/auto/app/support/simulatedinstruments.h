#pragma once

// Several simulated instruments, each on a pseudo-terminal of its own and answering with its
// serial number, and a set that searches exactly their ports.
#include "instrumentset.h"
#include "instrumentsimulator.h"

#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <vector>

class SimulatedInstruments
{
public:
    static constexpr uchar SerialNumberCode = 0x12;

    // Starts a simulator per serial number, all reading `celsius`, and the set's search on their
    // ports; false when a simulator cannot start.
    bool start(const QList<quint32> &serialNumbers, double celsius)
    {
        if (!dir.isValid())
            return false;
        QStringList ports;
        for (quint32 serialNumber : serialNumbers) {
            InstrumentSimulator::Config config;
            config.linkPath = dir.filePath(QStringLiteral("tty%1").arg(serialNumber));
            sims.push_back(std::make_unique<InstrumentSimulator>(config));
            if (!sims.back()->start())
                return false;
            sims.back()->setRegister(SerialNumberCode, serialNumber);
            sims.back()->setObjectTemperature(celsius);
            ports.append(config.linkPath);
        }
        set.start(ports);
        return true;
    }

    QTemporaryDir dir;
    std::vector<std::unique_ptr<InstrumentSimulator>> sims;
    InstrumentSet set; // goes before the simulators: its members see no port vanish
};
