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

// Comma: every unit word ends in a comma ("10秒,"); Short: the last does not.
enum class DurationForm { Comma, Short };

// How long `samples` samples taken every `intervalMs` ms last, e.g. "2时,46分,40秒,".
QString recordDurationText(int samples, int intervalMs, DurationForm form);
// Memory the samples take in the chart, e.g. "15.26MB".
QString recordMemoryText(int samples);

#endif // TEVRANO_CHARTCAPACITY_H
