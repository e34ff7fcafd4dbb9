#pragma once

#include "serialports.h"

#include <QString>

#include <functional>
#include <optional>

// Asks one port at one rate whether the instrument is there, first in the XOR framing, then in
// the CRC framing. Blocks the calling thread for at most about 1.4 s. Returns the framing that
// answered (SerialFrame::Framing), or none.
std::optional<int> probeFraming(const QString &portName, qint32 baud);

// Baud rates offered and probed, in this order.
inline constexpr qint32 ProbeRates[] = {9600, 115200};

struct FoundDevice
{
    QString portName;
    qint32 baud = 0;
};

// Debug adapters (descriptions with "MSP" or "FET430") are never probed: a probe would upset them.
bool isDebugAdapter(const SerialPortEntry &port);

// Probes every listed port at each rate in turn, skipping debug adapters; the first answer wins.
// `probe` returns whether the port answered.
std::optional<FoundDevice> findDevice(const QList<SerialPortEntry> &ports,
                                      const std::function<bool(const QString &, qint32)> &probe);
