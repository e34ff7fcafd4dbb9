#pragma once

#include <QString>

#include <optional>
#include <random>

// An object temperature that follows a shape over time, for exercising triggers
// and alarms. Times count from when the profile was set.
struct TemperatureProfile
{
    enum class Kind {
        Ramp,    // `from` to `to` over `seconds`, then stays at `to`
        Step,    // `from` until `seconds`, then `to`
        Square,  // `from` for half of `seconds`, `to` for the other half, repeating
        Chatter, // `from` plus noise of up to `to` either way, new at every reading
    };

    Kind kind = Kind::Step;
    double from = 0;
    double to = 0;
    double seconds = 0;

    // "ramp:FROM:TO:SECONDS", "step:FROM:TO:AT", "square:LOW:HIGH:PERIOD" or
    // "chatter:LEVEL:AMPLITUDE"; nothing when the text is none of these.
    static std::optional<TemperatureProfile> parse(const QString &text);

    // Degrees Celsius `t` seconds after the profile began; `noise` serves Chatter.
    double at(double t, std::mt19937 &noise) const;
};
