#include "unittext.h"

QByteArray unitText(int unit)
{
    if (unit == 1)
        return QByteArrayLiteral("\xC2\xB0"
                                 "F");
    if (unit == 2)
        return QByteArrayLiteral("\xC2\xB0"
                                 "C");
    return QByteArray();
}
