#include "csvfields.h"

#include "isotime.h"
#include "unittext.h"

#include <QDateTime>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

char *CsvTimeText::put(char *out, qint64 msecs)
{
    const qint64 second = msecs >= 0 ? msecs / 1000 : (msecs - 999) / 1000;
    if (!m_valid || second != m_second) {
        m_valid = true;
        m_second = second;
        // "yyyy-MM-ddThh:mm:ss.000+hh:mm": kept apart around the milliseconds.
        const QByteArray text = isoTimeWithOffset(QDateTime::fromMSecsSinceEpoch(second * 1000));
        const int point = text.indexOf('.', text.indexOf('T'));
        m_head = text.left(point);
        m_zone = text.mid(point + 4);
    }
    const int ms = int(msecs - m_second * 1000);
    std::memcpy(out, m_head.constData(), size_t(m_head.size()));
    out += m_head.size();
    *out++ = '.';
    *out++ = char('0' + ms / 100);
    *out++ = char('0' + ms / 10 % 10);
    *out++ = char('0' + ms % 10);
    std::memcpy(out, m_zone.constData(), size_t(m_zone.size()));
    return out + m_zone.size();
}

char *putCsvTemperature(char *out, char *end, double value)
{
    return std::isfinite(value)
                   ? std::to_chars(out, end, value, std::chars_format::fixed, kTemperatureDecimals)
                             .ptr
                   : out;
}

CsvMarkerColumn::CsvMarkerColumn(QVector<Marker> markers)
    : m_pending(std::move(markers))
{
    std::stable_sort(m_pending.begin(), m_pending.end(), [](const Marker &a, const Marker &b) {
        return a.seconds < b.seconds;
    });
    m_next = m_pending.cbegin();
}

QByteArray CsvMarkerColumn::field(double elapsed, bool lastRow)
{
    // Half a millisecond of slack: elapsed times are written with three decimals.
    const auto rowEnd = lastRow ? m_pending.cend()
                                : std::find_if(m_next, m_pending.cend(), [&](const Marker &m) {
                                      return !(m.seconds <= elapsed + 0.0005);
                                  });
    if (rowEnd == m_next)
        return {};
    const QVector<Marker> here(m_next, rowEnd);
    m_next = rowEnd;
    return csvQuoted(markerField(here));
}
