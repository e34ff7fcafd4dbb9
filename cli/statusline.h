#pragma once

#include <QString>

struct LogStatus
{
    QString port; // empty while searching
    qint32 baud = 0;
    QString note; // connection trouble, empty while the instrument answers
    int rows = 0;
    double latest = 0;      // NaN when there is no valid reading
    bool showLatest = true; // false with several instruments
    bool fahrenheit = false;
    double elapsedS = 0;
    double durationS = 0; // 0: open-ended
};

// A temperature with one decimal and its unit; "---" for NaN.
QString readingText(double value, bool fahrenheit);

// One line without line end: port and rate (the port alone without a rate), rows, latest
// reading, elapsed and remaining time.
QString statusLine(const LogStatus &status);
