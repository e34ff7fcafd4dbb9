#include "chartadapters.h"

#include "chartprompter.h"
#include "chartsettings.h"
#include "messages.h"
#include "settings.h"

namespace {

// The chart reads and stores its own two settings through this.
class ChartSettingsAdapter : public ChartSettingsStore
{
public:
    QString value(const QString &key, const QString &fallback) const override
    {
        return appSettings().value(key, fallback);
    }
    void setValue(const QString &key, const QString &value) override
    {
        appSettings().setValue(key, value);
    }
    void save() override { appSettings().writeFile(); }
};

// The chart's boxes and file questions go where the window's go.
class ChartMessages : public ChartPrompter
{
public:
    void message(QMessageBox::Icon icon,
                 QWidget *parent,
                 const QString &title,
                 const QString &text,
                 const QString &button) override
    {
        Messages::show(parent, icon, title, text, button);
    }
    QString saveFileName(QWidget *parent) override
    {
        return Messages::saveFileName(parent, recordSaveTitle(), recordSaveFilter());
    }
    QString exportFileName(QWidget *parent, const QString &filter) override
    {
        return Messages::saveFileName(parent, QString(), filter);
    }
};

} // namespace

ChartSettingsStore *appChartSettings()
{
    static ChartSettingsAdapter settings;
    return &settings;
}

ChartPrompter *appChartPrompter()
{
    static ChartMessages messages;
    return &messages;
}
