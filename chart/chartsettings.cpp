#include "chartsettings.h"

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
