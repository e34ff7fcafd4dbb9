#ifndef TEVRANO_CHARTFIXTURES_H
#define TEVRANO_CHARTFIXTURES_H

// Stand-ins for the application's settings file and for the user in front of
// the chart's boxes, shared by the chart's tests.

#include "chartprompter.h"
#include "chartsettings.h"
#include "chartwidget.h"

#include <QMap>
#include <QVector>

#include <cmath>

class MemorySettings : public ChartSettingsStore
{
public:
    explicit MemorySettings(const QMap<QString, QString> &initial = {})
        : values(initial)
    {
        setChartSettingsStore(this);
    }
    ~MemorySettings() override { setChartSettingsStore(nullptr); }

    QString value(const QString &key, const QString &fallback) const override
    {
        return values.value(key, fallback);
    }
    void setValue(const QString &key, const QString &value) override { values[key] = value; }
    void save() override { ++saves; }

    QMap<QString, QString> values;
    int saves = 0;
};

class RecordingPrompter : public ChartPrompter
{
public:
    struct Message
    {
        QMessageBox::Icon icon;
        bool hasParent;
        QString title;
        QString text;
        QString button;
    };

    void message(QMessageBox::Icon icon,
                 QWidget *parent,
                 const QString &title,
                 const QString &text,
                 const QString &button) override
    {
        messages.append({icon, parent != nullptr, title, text, button});
    }
    QString saveFileName(QWidget *) override { return savePath; }
    QString exportFileName(QWidget *, const QString &) override { return savePath; }

    QVector<Message> messages;
    QString savePath;
};

// A poll step's readings reaching the chart and its session as the instrument hands them over.
inline void feedReading(ChartWidget &chart, double object, double ambient = std::nan(""))
{
    Instrument::Reading reading;
    reading.object = object;
    reading.ambient = ambient;
    reading.unit = chart.unit();
    reading.monotonicMs = RecordingSession::steadyNowMs();
    chart.session().feed(reading);
    chart.addAmbientReading(std::isnan(ambient) ? 0.0 : ambient);
    chart.addObjectReading(object);
}

// An interval long enough that no sampling tick arrives during a test, so the
// test decides which samples exist.
inline const QString kNoTicks = QStringLiteral("1000000");

// A chart wired to the stand-ins, shown, and without sampling ticks unless a
// test stores another "ChartLineFPS" before it starts a recording.
struct ChartUnderTest
{
    ChartUnderTest()
    {
        chart.setPrompter(&prompter);
        chart.show();
    }

    MemorySettings settings{{{QStringLiteral("ChartLineFPS"), kNoTicks}}};
    RecordingPrompter prompter;
    ChartWidget chart;
};

#endif // TEVRANO_CHARTFIXTURES_H
