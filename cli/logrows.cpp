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

QByteArray csvHeader(RowLayout layout)
{
    return layout == RowLayout::WithInstrument
                   ? QByteArrayLiteral("time,elapsed_s,object,ambient,unit,marker,instrument\n")
                   : QByteArrayLiteral("time,elapsed_s,object,ambient,unit,marker\n");
}

QByteArray csvRow(const LogRow &row, RowLayout layout)
{
    QByteArray line = isoTimeWithOffset(row.time) + ',' + elapsed(row.elapsedS) + ','
                      + temperature(row.object, "") + ',' + temperature(row.ambient, "") + ','
                      + unitName(row.fahrenheit) + ',' + csvQuoted(markerField(row.markers));
    if (layout == RowLayout::WithInstrument)
        line += ',' + csvQuoted(row.instrument.toUtf8());
    return line + '\n';
}

QByteArray jsonlRow(const LogRow &row, RowLayout layout)
{
    const QByteArray marker
            = row.markers.isEmpty() ? QByteArray("null") : jsonString(markerField(row.markers));
    QByteArray line = "{\"time\":\"" + isoTimeWithOffset(row.time) + "\",\"elapsed_s\":"
                      + elapsed(row.elapsedS) + ",\"object\":" + temperature(row.object, "null")
                      + ",\"ambient\":" + temperature(row.ambient, "null") + ",\"unit\":\""
                      + unitName(row.fahrenheit) + "\",\"marker\":" + marker;
    if (layout == RowLayout::WithInstrument)
        line += ",\"instrument\":"
                + (row.instrument.isEmpty() ? QByteArray("null")
                                            : jsonString(row.instrument.toUtf8()));
    return line + "}\n";
}
