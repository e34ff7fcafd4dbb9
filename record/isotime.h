#ifndef TEVRANO_ISOTIME_H
#define TEVRANO_ISOTIME_H

#include <QByteArray>
#include <QDateTime>

// ISO 8601 with milliseconds and the time's own UTC offset, as spreadsheets
// and log readers take it: "2026-12-08T14:07:09.123+01:00".
QByteArray isoTimeWithOffset(const QDateTime &time);

#endif // TEVRANO_ISOTIME_H
