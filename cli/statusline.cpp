#include "statusline.h"

#include <algorithm>
#include <cmath>

namespace {

QString clock(double seconds)
{
    const qint64 s = qint64(std::max(0.0, seconds));
    return QStringLiteral("%1:%2:%3")
            .arg(s / 3600, 2, 10, QLatin1Char('0'))
            .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(s % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

QString statusLine(const LogStatus &status)
{
    QString line;
    if (status.port.isEmpty())
        line = QStringLiteral("searching");
    else
        line = QStringLiteral("%1 %2 Bd%3")
                       .arg(status.port)
                       .arg(status.baud)
                       .arg(status.connected ? QString() : QStringLiteral(" (no answer)"));
    line += QStringLiteral(" | %1 rows | ").arg(status.rows);
    line += std::isfinite(status.latest)
                    ? QString::number(status.latest, 'f', 1)
                              + (status.fahrenheit ? QStringLiteral(" °F") : QStringLiteral(" °C"))
                    : QStringLiteral("---");
    line += QStringLiteral(" | ") + clock(status.elapsedS);
    if (status.durationS > 0)
        line += QStringLiteral(" / %1 left").arg(clock(status.durationS - status.elapsedS));
    return line;
}
