#pragma once

#include "instrument.h"

#include <QPointer>
#include <QWidget>

class QAction;
class QLabel;
class TemperatureTile;

// The four tiles of one instrument: its reading (in its alarm colours), running maximum and
// minimum, and ambient temperature; all show "---" while no reading is live.
class TileRow : public QWidget
{
    Q_OBJECT
public:
    explicit TileRow(Instrument *instrument, QWidget *parent = nullptr);

    Instrument *instrument() const { return m_instrument; }
    // Sets the captions again in the language in use.
    void retranslate();

    // The header names the instrument and its connection state; with one instrument it stays
    // hidden, so the tiles keep their room.
    void setName(const QString &name);
    void setHeaderShown(bool shown);
    void setSelected(bool selected);
    QLabel *header() const { return m_header; }

    TemperatureTile *realtime() const { return m_realtime; }
    TemperatureTile *maximum() const { return m_maximum; }
    TemperatureTile *minimum() const { return m_minimum; }
    TemperatureTile *ambient() const { return m_ambient; }
    // The running maximum in `unit` (1 Fahrenheit, 2 Celsius); the mark -1000 while none has
    // been seen since its tile was last switched off.
    float highest(int unit) const { return unit == 1 ? m_maxFahrenheit : m_maxCelsius; }

signals:
    // The row was clicked.
    void chosen();
    // Double-click on the header or its context menu.
    void renameAsked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showHeader();
    void elideHeader();
    void showObjectTemperature(double value, int unit);
    void showAmbientTemperature(double value, int unit);
    void showAlarm(AlarmState state);
    void showUnit(int unit, int previous);
    void showConnectionState();
    void clearTiles();

    QPointer<Instrument> m_instrument;
    TemperatureTile *m_realtime = nullptr;
    TemperatureTile *m_maximum = nullptr;
    TemperatureTile *m_minimum = nullptr;
    TemperatureTile *m_ambient = nullptr;
    QLabel *m_header = nullptr;
    QAction *m_rename = nullptr;
    QString m_name;
    QString m_headerText; // whole; the header shows what fits of it
    bool m_selected = false;
    float m_maxCelsius = -100.0f;
    float m_minCelsius = 10000.0f;
    float m_maxFahrenheit = -1000.0f;
    float m_minFahrenheit = 10000.0f;
};
