#include "chartcapacity.h"

#include <QCoreApplication>

#include <cstdio>
#include <iterator>

namespace {

constexpr int kSecondsPerDay = 86400;
constexpr int kSecondsPerHour = 3600;
constexpr int kSecondsPerMinute = 60;
// Two doubles per sample: time and temperature.
constexpr quint32 kBytesPerSample = 16;
constexpr quint32 kKiB = 1024;
constexpr quint32 kMiB = 1024 * 1024;

// From the largest unit down; each takes its number as %1.
const char *const kUnitTexts[] = {QT_TRANSLATE_NOOP("ChartSettingsDialog", "%1天"),
                                  QT_TRANSLATE_NOOP("ChartSettingsDialog", "%1时"),
                                  QT_TRANSLATE_NOOP("ChartSettingsDialog", "%1分"),
                                  QT_TRANSLATE_NOOP("ChartSettingsDialog", "%1秒")};
constexpr int kUnitSeconds[] = {kSecondsPerDay, kSecondsPerHour, kSecondsPerMinute, 1};

QString word(const char *text)
{
    return QCoreApplication::translate("ChartSettingsDialog", text);
}

// glibc rounds exact ties to even (15.625 -> "15.6"), which the texts rely on.
QString fixed(float value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, double(value));
    return QString::fromLatin1(text);
}

} // namespace

QStringList chartIntervalTexts()
{
    return {QStringLiteral("10ms"),
            QStringLiteral("20ms"),
            QStringLiteral("50ms"),
            QStringLiteral("100ms"),
            QStringLiteral("200ms"),
            QStringLiteral("500ms"),
            QStringLiteral("1s"),
            QStringLiteral("2s"),
            QStringLiteral("5s"),
            QStringLiteral("10s")};
}

int parseInterval(const QString &text)
{
    QString number = text;
    if (text.contains(QStringLiteral("ms")))
        return number.remove(QStringLiteral("ms")).toInt();
    if (text.contains(QLatin1Char('s')))
        return number.remove(QLatin1Char('s')).toInt() * 1000;
    return -1;
}

int intervalIndex(int ms)
{
    const QStringList texts = chartIntervalTexts();
    for (int i = 0; i < texts.size(); ++i) {
        if (parseInterval(texts[i]) == ms)
            return i;
    }
    return -1;
}

QString recordDurationText(int samples, int intervalMs)
{
    // Single precision on purpose: the texts users know were computed that way.
    int rest = intervalMs > 0 ? int(float(samples) / (1000.0f / float(intervalMs))) : 0;
    QStringList parts;
    for (size_t i = 0; i < std::size(kUnitSeconds); ++i) {
        const int count = rest / kUnitSeconds[i];
        rest %= kUnitSeconds[i];
        if (count > 0 || !parts.isEmpty() || kUnitSeconds[i] == 1)
            parts << word(kUnitTexts[i]).arg(count);
    }
    return parts.join(QLatin1Char(' '));
}

QString recordMemoryText(int samples)
{
    const quint32 bytes = quint32(samples) * kBytesPerSample;
    if (bytes < kMiB)
        return fixed(float(bytes) / float(kKiB), 1) + QStringLiteral("KB");
    return fixed(float(bytes) / float(kMiB), 2) + QStringLiteral("MB");
}
