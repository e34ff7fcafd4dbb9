#pragma once

#include <QHash>
#include <QObject>
#include <QStringList>

#include <memory>

class Instrument;
class InstrumentSet;
class QComboBox;
class QWidget;
class TileRow;

// The members of an instrument set as the window shows them: a tile row each in the tile column,
// a selector at the top of the parameter panel while there are several, and which one is
// selected. Until one joins, a stand-in that is never opened is shown and selected.
class InstrumentBoard : public QObject
{
    Q_OBJECT
public:
    // `tileColumn` has a box layout the rows are added to; the selector goes first into the box
    // layout of `panel`.
    InstrumentBoard(InstrumentSet *set, QWidget *tileColumn, QWidget *panel, QObject *parent);
    ~InstrumentBoard() override;

    // The selected instrument; the stand-in until one is found.
    Instrument *instrument() const { return m_selected; }
    Instrument *standby() const { return m_standby.get(); }
    // The tiles of the selected instrument.
    TileRow *tiles() const;
    void select(Instrument *instrument);
    // Sets the rows' texts again in the language in use.
    void retranslate();

signals:
    void selected(Instrument *instrument);
    // The first instrument that joins the set, before it is selected.
    void firstJoined(Instrument *instrument);
    // After every alarm change: whether any instrument is in alarm now.
    void alarmsChanged(bool any);

private:
    TileRow *addRow(Instrument *instrument);
    void instrumentAdded(const QString &serialNumber, Instrument *instrument);
    void instrumentRemoved(const QString &serialNumber);
    // Headers, selection and the selector as the set and the selection are now.
    void showRows();
    // Asks the user for the instrument's label, kept in the settings under its serial number.
    void rename(const QString &serialNumber);
    void soundAlarms();

    InstrumentSet *m_set;
    QWidget *m_column;
    QComboBox *m_selector;
    std::unique_ptr<Instrument> m_standby;
    TileRow *m_standbyRow;
    QStringList m_members;            // in the order shown
    QHash<QString, TileRow *> m_rows; // by serial number
    Instrument *m_selected;
    bool m_joined = false;
};
