#include "logrows.h"

#include "unittext.h"

#include <cmath>

namespace {

QByteArray temperature(double value, const char *gap)
{
    return std::isfinite(value) ? QByteArray::number(value, 'f', kTemperatureDecimals)
                                : QByteArray(gap);
}

QByteArray elapsed(double seconds)
{
    return QByteArray::number(seconds, 'f', 3);
}

QByteArray unitName(bool fahrenheit)
{
    return unitText(fahrenheit ? 1 : 2);
}

} // namespace

QByteArray csvHeader()
{
    return QByteArrayLiteral("time,elapsed_s,object,ambient,unit,marker\n");
}

QByteArray csvRow(const LogRow &row)
{
    return isoTimeWithOffset(row.time) + ',' + elapsed(row.elapsedS) + ','
           + temperature(row.object, "") + ',' + temperature(row.ambient, "") + ','
           + unitName(row.fahrenheit) + ',' + csvQuoted(markerField(row.markers)) + '\n';
}

QByteArray jsonlRow(const LogRow &row)
{
    const QByteArray marker
            = row.markers.isEmpty() ? QByteArray("null") : jsonString(markerField(row.markers));
    return "{\"time\":\"" + isoTimeWithOffset(row.time) + "\",\"elapsed_s\":"
           + elapsed(row.elapsedS) + ",\"object\":" + temperature(row.object, "null")
           + ",\"ambient\":" + temperature(row.ambient, "null") + ",\"unit\":\""
           + unitName(row.fahrenheit) + "\",\"marker\":" + marker + "}\n";
}
