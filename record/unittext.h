#ifndef TEVRANO_UNITTEXT_H
#define TEVRANO_UNITTEXT_H

#include <QByteArray>

// Decimals of a temperature in every file the program writes: what the instrument resolves.
constexpr int kTemperatureDecimals = 1;

// The unit column of every export, UTF-8: "°C" for Celsius (2), "°F" for Fahrenheit (1), empty
// for a code the program does not know.
QByteArray unitText(int unit);

#endif // TEVRANO_UNITTEXT_H
