#pragma once

#include "instrument.h"
#include "instrumentset.h"

#include <algorithm>

// Readings are coming, or stopped only a moment ago: what the window shows of the instrument is
// live and its parameters can be edited.
inline bool showsLiveReadings(const Instrument *instrument)
{
    using State = Instrument::ConnectionState;
    return instrument
           && (instrument->state() == State::Connected
               || instrument->state() == State::NotResponding);
}

// Some instrument to record from: any member of the set has its port open.
inline bool anyMemberOpen(const InstrumentSet *set)
{
    const QStringList members = set->serialNumbers();
    return std::any_of(members.cbegin(), members.cend(), [set](const QString &serialNumber) {
        return set->instrument(serialNumber)->isOpen();
    });
}
