#ifndef TEVRANO_CHARTSETTINGS_H
#define TEVRANO_CHARTSETTINGS_H

#include <QString>

#include <optional>

// The chart's window on the application's settings file ("ChartLineCache",
// "ChartLineFPS"). The chart does not know the file itself: the application
// installs an adapter once at start-up, before the chart is constructed.
class ChartSettingsStore
{
public:
    virtual ~ChartSettingsStore() = default;
    virtual QString value(const QString &key, const QString &fallback) const = 0;
    virtual void setValue(const QString &key, const QString &value) = 0;
    // Writes the settings file.
    virtual void save() = 0;
};

// `store` is not owned and must outlive every chart object; nullptr restores
// the built-in store, which answers every read with its fallback and drops writes.
void setChartSettingsStore(ChartSettingsStore *store);
ChartSettingsStore &chartSettingsStore();

// The sample limit "ChartLineCache" gives (it counts thousands; a hand-edited huge value
// saturates, text that is not a number counts as 0); nothing while the setting is empty.
std::optional<int> configuredSampleLimit();

#endif // TEVRANO_CHARTSETTINGS_H
