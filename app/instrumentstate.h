#pragma once

#include "instrument.h"

// Readings are coming, or stopped only a moment ago: what the window shows of the instrument is
// live and its parameters can be edited.
inline bool showsLiveReadings(const Instrument *instrument)
{
    using State = Instrument::ConnectionState;
    return instrument
           && (instrument->state() == State::Connected
               || instrument->state() == State::NotResponding);
}
