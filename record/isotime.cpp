#include "isotime.h"

#include <cstdlib>

QByteArray isoTimeWithOffset(const QDateTime &time)
{
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-ddThh:mm:ss.zzz")).toLatin1()
           + (offset < 0 ? '-' : '+') + QByteArray::number(minutes / 60).rightJustified(2, '0')
           + ':' + QByteArray::number(minutes % 60).rightJustified(2, '0');
}
