#include "instrumentboard.h"

#include "instrument.h"
#include "instrumentset.h"
#include "messages.h"
#include "settings.h"
#include "tilerow.h"

#include <QBoxLayout>
#include <QCollator>
#include <QComboBox>
#include <QInputDialog>

#include <algorithm>
#include <utility>

InstrumentBoard::InstrumentBoard(InstrumentSet *set,
                                 QWidget *tileColumn,
                                 QWidget *panel,
                                 QObject *parent)
    : QObject(parent)
    , m_set(set)
    , m_column(tileColumn)
    , m_selector(new QComboBox(panel))
    , m_standby(std::make_unique<Instrument>())
    , m_standbyRow(addRow(m_standby.get()))
    , m_selected(m_standby.get())
{
    connect(set, &InstrumentSet::instrumentAdded, this, &InstrumentBoard::instrumentAdded);
    connect(set, &InstrumentSet::instrumentRemoved, this, &InstrumentBoard::instrumentRemoved);
    connect(set, &InstrumentSet::labelChanged, this, &InstrumentBoard::showRows);
    // With several instruments, the one the panel acts on is chosen here or by its row.
    m_selector->setObjectName(QStringLiteral("instrumentSelector"));
    m_selector->hide();
    qobject_cast<QBoxLayout *>(panel->layout())->insertWidget(0, m_selector);
    connect(m_selector, QOverload<int>::of(&QComboBox::activated), this, [this](int index) {
        if (Instrument *chosen = m_set->instrument(m_selector->itemData(index).toString()))
            select(chosen);
    });
}

InstrumentBoard::~InstrumentBoard() = default;

TileRow *InstrumentBoard::addRow(Instrument *instrument)
{
    auto *row = new TileRow(instrument, m_column);
    m_column->layout()->addWidget(row);
    connect(instrument, &Instrument::alarmChanged, this, &InstrumentBoard::soundAlarms);
    return row;
}

void InstrumentBoard::instrumentAdded(const QString &serialNumber, Instrument *instrument)
{
    TileRow *row = addRow(instrument);
    m_members.append(serialNumber);
    m_rows.insert(serialNumber, row);
    connect(row, &TileRow::chosen, this, [this, instrument] { select(instrument); });
    connect(row, &TileRow::renameAsked, this, [this, serialNumber] { rename(serialNumber); });
    m_set->setLabel(serialNumber, appSettings().value(instrumentLabelKey(serialNumber), QString()));
    m_standbyRow->hide();
    showRows();
    if (m_selected != m_standby.get())
        return;
    if (!std::exchange(m_joined, true))
        emit firstJoined(instrument);
    select(instrument);
}

void InstrumentBoard::instrumentRemoved(const QString &serialNumber)
{
    TileRow *row = m_rows.take(serialNumber);
    if (!row)
        return;
    m_members.removeOne(serialNumber);
    const bool selected = row->instrument() == m_selected;
    delete row;
    showRows();
    if (!selected)
        return;
    m_standbyRow->setVisible(m_members.isEmpty());
    select(m_members.isEmpty() ? m_standby.get() : m_rows.value(m_members.first())->instrument());
}

void InstrumentBoard::showRows()
{
    // By name, numbers by their value ("Zone 9" before "Zone 10"): the same order at every start,
    // whichever instrument answered first.
    // The C locale's collation compares code points, digits too.
    QCollator byName(QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale());
    byName.setNumericMode(true);
    std::stable_sort(m_members.begin(), m_members.end(), [&](const QString &a, const QString &b) {
        return byName.compare(m_set->displayName(a), m_set->displayName(b)) < 0;
    });
    auto *column = qobject_cast<QBoxLayout *>(m_column->layout());
    for (int i = 0; i < m_members.size(); ++i) {
        TileRow *row = m_rows.value(m_members.at(i));
        // The stand-in's row stays first.
        if (column->indexOf(row) != i + 1) {
            column->removeWidget(row);
            column->insertWidget(i + 1, row);
        }
    }
    const bool several = m_members.size() > 1;
    const QSignalBlocker quiet(m_selector);
    m_selector->clear();
    for (const QString &serialNumber : std::as_const(m_members)) {
        TileRow *row = m_rows.value(serialNumber);
        m_selector->addItem(m_set->displayName(serialNumber), serialNumber);
        row->setName(m_set->displayName(serialNumber));
        row->setHeaderShown(several);
        row->setSelected(several && row->instrument() == m_selected);
        if (row->instrument() == m_selected)
            m_selector->setCurrentIndex(m_selector->count() - 1);
    }
    m_selector->setVisible(several);
}

void InstrumentBoard::rename(const QString &serialNumber)
{
    QInputDialog dialog(m_column->window());
    dialog.setWindowTitle(tr("重命名仪器"));
    dialog.setLabelText(tr("序列号%1的名称：").arg(serialNumber));
    dialog.setTextValue(m_set->label(serialNumber));
    if (Messages::exec(dialog) != QDialog::Accepted)
        return;
    const QString label = dialog.textValue().trimmed();
    appSettings().setValue(instrumentLabelKey(serialNumber), label);
    appSettings().writeFile();
    m_set->setLabel(serialNumber, label);
}

void InstrumentBoard::select(Instrument *instrument)
{
    m_selected = instrument;
    showRows();
    emit selected(instrument);
}

void InstrumentBoard::retranslate()
{
    m_standbyRow->retranslate();
    for (TileRow *row : std::as_const(m_rows))
        row->retranslate();
}

void InstrumentBoard::soundAlarms()
{
    bool any = m_standby->alarmState() != AlarmState::None;
    for (TileRow *row : std::as_const(m_rows))
        any |= row->instrument()->alarmState() != AlarmState::None;
    emit alarmsChanged(any);
}

TileRow *InstrumentBoard::tiles() const
{
    for (TileRow *row : m_rows)
        if (row->instrument() == m_selected)
            return row;
    return m_standbyRow;
}
