#include "statusline.h"

#include <algorithm>
#include <cmath>

namespace {

QString clock(double seconds)
{
    const qint64 s = qint64(std::ceil(std::max(0.0, seconds)));
    return QStringLiteral("%1:%2:%3")
            .arg(s / 3600, 2, 10, QLatin1Char('0'))
            .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(s % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

QString readingText(double value, bool fahrenheit)
{
    if (!std::isfinite(value))
        return QStringLiteral("---");
    return QString::number(value, 'f', 1)
           + (fahrenheit ? QStringLiteral(" °F") : QStringLiteral(" °C"));
}

QString statusLine(const LogStatus &status)
{
    QString line = status.baud > 0 ? QStringLiteral("%1 %2 Bd").arg(status.port).arg(status.baud)
                                   : status.port;
    if (!status.note.isEmpty())
        line += QStringLiteral(" (%1)").arg(status.note);
    line += QStringLiteral(" | %1 rows").arg(status.rows);
    if (status.showLatest)
        line += QStringLiteral(" | ") + readingText(status.latest, status.fahrenheit);
    line += QStringLiteral(" | ") + clock(std::floor(status.elapsedS));
    if (status.durationS > 0)
        line += QStringLiteral(" / %1 left").arg(clock(status.durationS - status.elapsedS));
    return line;
}
