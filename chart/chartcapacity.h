#ifndef TEVRANO_CHARTCAPACITY_H
#define TEVRANO_CHARTCAPACITY_H

#include <QString>
#include <QStringList>

// The sampling intervals offered to the user, shortest first.
QStringList chartIntervalTexts();
// "10ms" -> 10, "2s" -> 2000; -1 for text without a unit.
int parseInterval(const QString &text);
// Position of `ms` in chartIntervalTexts(), or -1.
int intervalIndex(int ms);

// How long `samples` samples taken every `intervalMs` ms last, from the largest unit that is not
// zero down to the seconds, e.g. "1 d 3 h 46 min 40 s" in English.
QString recordDurationText(int samples, int intervalMs);
// Memory the samples take in the chart, e.g. "15.26MB".
QString recordMemoryText(int samples);

#endif // TEVRANO_CHARTCAPACITY_H
