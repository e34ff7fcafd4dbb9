#ifndef TEVRANO_RECORDINGMARKERS_H
#define TEVRANO_RECORDINGMARKERS_H

#include "instrument.h"

#include <QHash>
#include <QObject>

class ChartWidget;

// Marks in the running recording what happened to the instrument: an alarm
// starting or ending, a setting changing (old and new value), the unit
// switching, the instrument lost and back. Outside a recording it marks nothing.
class RecordingMarkers : public QObject
{
    Q_OBJECT

public:
    RecordingMarkers(Instrument *instrument, ChartWidget *chart, QObject *parent = nullptr);

    // The marker text for a setting that changed; empty for readings that are no settings.
    static QString parameterChange(Instrument::Parameter parameter, double from, double to);

private:
    void mark(const QString &text);

    ChartWidget *m_chart;
    QHash<int, double> m_parameters; // the last value read of each, to see changes
    bool m_lost = false;
};

#endif // TEVRANO_RECORDINGMARKERS_H
