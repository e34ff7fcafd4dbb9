#pragma once

#include "instrument.h"
#include "instrumentset.h"

#include <algorithm>

// Readings are coming, or stopped only a moment ago: what the window shows of the instrument is
// live and its parameters can be edited.
inline bool showsLiveReadings(const Instrument *instrument)
{
    return instrument && showsLiveReadings(instrument->state());
}

// Some instrument to record from: the first member of the set with its port open, or null.
inline Instrument *firstOpenMember(const InstrumentSet *set)
{
    const QStringList members = set->serialNumbers();
    const auto open = std::find_if(members.cbegin(), members.cend(), [set](const QString &serial) {
        return set->instrument(serial)->isOpen();
    });
    return open == members.cend() ? nullptr : set->instrument(*open);
}

inline bool anyMemberOpen(const InstrumentSet *set)
{
    return firstOpenMember(set) != nullptr;
}
