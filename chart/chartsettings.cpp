#include "chartsettings.h"

#include <QtGlobal>

#include <algorithm>
#include <climits>

namespace {

class FallbackStore : public ChartSettingsStore
{
public:
    QString value(const QString &, const QString &fallback) const override { return fallback; }
    void setValue(const QString &, const QString &) override {}
    void save() override {}
};

FallbackStore fallbackStore;
ChartSettingsStore *installedStore = &fallbackStore;

} // namespace

void setChartSettingsStore(ChartSettingsStore *store)
{
    installedStore = store ? store : &fallbackStore;
}

ChartSettingsStore &chartSettingsStore()
{
    return *installedStore;
}

std::optional<int> configuredSampleLimit()
{
    const QString cache
            = chartSettingsStore().value(QStringLiteral("ChartLineCache"), QStringLiteral("1000"));
    if (cache.isEmpty())
        return std::nullopt;
    return int(std::clamp<qint64>(qint64(cache.toInt(nullptr, 10)) * 1000, INT_MIN, INT_MAX));
}
