#pragma once

#include <QString>

// The instrument's unit codes. Its registers and its readings on the wire are in Celsius; what is
// shown follows the unit the instrument confirmed.
namespace TemperatureUnit {

constexpr int Fahrenheit = 1;
constexpr int Celsius = 2;

constexpr bool isKnown(int unit)
{
    return unit == Fahrenheit || unit == Celsius;
}

// Any code but Fahrenheit is Celsius, as the tiles show it.
constexpr double fromCelsius(double celsius, int unit)
{
    return unit == Fahrenheit ? celsius * 1.8 + 32.0 : celsius;
}

constexpr double toCelsius(double value, int unit)
{
    return unit == Fahrenheit ? (value - 32.0) / 1.8 : value;
}

// Between two known units; anything else is left as it is.
constexpr double convert(double value, int from, int to)
{
    return isKnown(from) && isKnown(to) ? fromCelsius(toCelsius(value, from), to) : value;
}

inline QString symbol(int unit)
{
    return unit == Fahrenheit ? QStringLiteral("℉") : QStringLiteral("℃");
}

} // namespace TemperatureUnit
