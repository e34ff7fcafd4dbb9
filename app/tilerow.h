#pragma once

#include "instrument.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class TempAreaItem;

// The four tiles of one instrument (reading, running maximum and minimum, ambient) under a line
// with its name and connection state. The line stays hidden while the row is the only one, so a
// single instrument looks as the window always showed it. Clicking the row asks to select it.
class TileRow : public QWidget
{
    Q_OBJECT
public:
    explicit TileRow(Instrument *instrument, QWidget *parent = nullptr);

    Instrument *instrument() const { return m_instrument; }
    void setName(const QString &name);
    QString name() const { return m_name; }
    void setHeaderVisible(bool visible);
    void setSelected(bool selected);
    bool isSelected() const { return m_selected; }
    // Sets the captions and the state again in the language in use.
    void retranslate();
    // The state as the header shows it; empty while readings come.
    QString stateText() const;

    TempAreaItem *realtime() const { return m_realtime; }
    TempAreaItem *maximum() const { return m_maximum; }
    TempAreaItem *minimum() const { return m_minimum; }
    TempAreaItem *ambient() const { return m_ambient; }
    // The running extremes in `unit` (1 Fahrenheit, 2 Celsius); the marks -1000 / 10000 while
    // none has been seen since the tile was last switched off.
    float highest(int unit) const { return unit == 1 ? m_maxFahrenheit : m_maxCelsius; }
    float lowest(int unit) const { return unit == 1 ? m_minFahrenheit : m_minCelsius; }

signals:
    void clicked();
    // The user asked to give the instrument another name.
    void renameRequested();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void showObjectTemperature(double value, int unit);
    void showAmbientTemperature(double value, int unit);
    void showAlarm(AlarmState state);
    void showUnit(int unit, int previous);
    void showConnectionState();
    void showHeader();
    void clearTiles();

    QPointer<Instrument> m_instrument;
    QLabel *m_header = nullptr;
    TempAreaItem *m_realtime = nullptr;
    TempAreaItem *m_maximum = nullptr;
    TempAreaItem *m_minimum = nullptr;
    TempAreaItem *m_ambient = nullptr;
    QString m_name;
    bool m_selected = false;
    float m_maxCelsius = -100.0f;
    float m_minCelsius = 10000.0f;
    float m_maxFahrenheit = -1000.0f;
    float m_minFahrenheit = 10000.0f;
};
