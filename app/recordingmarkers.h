#ifndef TEVRANO_RECORDINGMARKERS_H
#define TEVRANO_RECORDINGMARKERS_H

#include "instrument.h"

#include <QHash>
#include <QObject>

class ChartWidget;
class InstrumentSet;

// Marks in the running recording what happened to the instruments: an alarm starting or
// ending, a setting changing (old and new value), the unit switching, an instrument lost and
// back. Outside a recording it marks nothing. It follows the stand-in it is made with and every
// member of the set; while the set has more than one member, each text names its instrument.
class RecordingMarkers : public QObject
{
    Q_OBJECT

public:
    // `set` may be null: the stand-in alone.
    RecordingMarkers(Instrument *standby,
                     const InstrumentSet *set,
                     ChartWidget *chart,
                     QObject *parent = nullptr);

    // The marker text for a setting that changed; empty for readings that are no settings.
    static QString parameterChange(Instrument::Parameter parameter, double from, double to);

private:
    class Follower;
    // Marks what `instrument` does under `serialNumber` (empty for the stand-in) until the
    // follower is deleted.
    void follow(Instrument *instrument, const QString &serialNumber);
    void mark(const QString &serialNumber, const QString &text);

    ChartWidget *m_chart;
    const InstrumentSet *m_set;
    QHash<QString, Follower *> m_members; // by serial number
};

#endif // TEVRANO_RECORDINGMARKERS_H
