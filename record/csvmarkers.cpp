#include "csvmarkers.h"

#include <algorithm>

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
