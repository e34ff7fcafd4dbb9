#pragma once

// Simulated instruments with the given serial numbers, each at a link of its own in a folder.
#include "instrumentsimulator.h"

#include <QList>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <vector>

struct Simulators
{
    static constexpr uchar SerialNumberCode = 0x12;

    std::vector<std::unique_ptr<InstrumentSimulator>> sims;
    QStringList ports;

    // Each reads the object temperature `celsius` gives for its serial number.
    bool start(const QTemporaryDir &dir,
               const QList<quint32> &serials,
               const std::function<double(quint32)> &celsius)
    {
        for (const quint32 serial : serials) {
            InstrumentSimulator::Config config;
            config.linkPath = dir.filePath(QStringLiteral("tty%1").arg(serial));
            sims.push_back(std::make_unique<InstrumentSimulator>(config));
            if (!sims.back()->start())
                return false;
            sims.back()->setRegister(SerialNumberCode, serial);
            sims.back()->setObjectTemperature(celsius(serial));
            ports.append(config.linkPath);
        }
        return true;
    }
};
