#pragma once

#include "instrument.h"

#include <QObject>
#include <QPointer>

struct MainWindowUi;
class QDoubleSpinBox;

// The parameter panel of the window's form: shows what one instrument reports and writes the
// user's edits to it. The instrument is the one given last; the panel never owns it.
class ParameterPanel : public QObject
{
    Q_OBJECT
public:
    ParameterPanel(const MainWindowUi &form, QObject *parent = nullptr);

    // Shows what `instrument` has read so far and from then on acts on it; nullptr acts on none.
    void setInstrument(Instrument *instrument);
    Instrument *instrument() const { return m_instrument; }

    void setRowsEnabled(bool enabled);
    // A recording fixes the instrument's parameters until it ends.
    void setRecording(bool recording);
    // Sets the panel's own texts again in the language in use.
    void retranslate();

    // The user's edits, each written when the editing is finished.
    void writeEmissivity();
    void writeTransmissivity();
    void writeHoldTime();
    void writeAverageTime();
    void writeSuperHoldValue();
    void writeHighAlarm();
    void writeLowAlarm();
    void writeOutputLow();
    void writeOutputHigh();
    void writeHoldMode(int index);
    void writeHighAlarmEnabled(bool checked);
    void writeLowAlarmEnabled(bool checked);
    void writeRangeMode(int mode);
    // What is shown follows when the instrument confirms the unit; without one nothing changes.
    void writeUnit(int unit);
    void writeBacklight(bool on);
    void writeLaser(bool on);
    void writeModbus(bool on);
    void restoreFactorySettings();

signals:
    // The unit the instrument reported; the chart labels its axis by it.
    void unitRead(int unit);

private:
    void connectEdits();
    void showParameter(Instrument::Parameter parameter, double value);
    void showFeatures(const Instrument::Features &features);
    void showHoldMode(int mode);
    void checkUnitButton(int unit);
    void showRange();
    void showTemperatureBoxes();
    // Says in the panel's tooltip why it cannot be edited; empty when it can.
    void explain();
    // The hold-mode and analog-output lists in the language in use.
    void nameChoices();
    void writeTemperature(Instrument::Parameter parameter, const QDoubleSpinBox *box);
    void write(Instrument::Parameter parameter, double value);

    const MainWindowUi &ui;
    QPointer<Instrument> m_instrument;
    bool m_recording = false;
};
