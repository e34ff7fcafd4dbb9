#include "tilerow.h"

#include "tempareaitem.h"
#include "temperatureunit.h"
#include "thresholdlines.h"

#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace {

const QColor RealtimeColour(255, 128, 0);

bool live(const Instrument *instrument)
{
    using State = Instrument::ConnectionState;
    return instrument
           && (instrument->state() == State::Connected
               || instrument->state() == State::NotResponding);
}

} // namespace

TileRow::TileRow(Instrument *instrument, QWidget *parent)
    : QWidget(parent)
    , m_instrument(instrument)
    , m_header(new QLabel(this))
    , m_realtime(new TempAreaItem(this))
    , m_maximum(new TempAreaItem(this))
    , m_minimum(new TempAreaItem(this))
    , m_ambient(new TempAreaItem(this))
{
    setAutoFillBackground(true);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_header->setContentsMargins(4, 2, 4, 2);
    m_header->hide();
    column->addWidget(m_header);
    for (TempAreaItem *tile : {m_realtime, m_ambient, m_maximum, m_minimum})
        column->addWidget(tile, 1);

    // Only the running extremes can be switched off.
    m_maximum->setCheckEnabled(true);
    m_minimum->setCheckEnabled(true);
    m_realtime->setCheckEnabled(false);
    m_ambient->setCheckEnabled(false);
    m_realtime->setTextColor(RealtimeColour);
    m_maximum->setTextColor(Qt::black);
    m_minimum->setTextColor(Qt::black);
    m_ambient->setTextColor(Qt::gray);
    clearTiles();

    connect(instrument, &Instrument::objectTemperature, this, &TileRow::showObjectTemperature);
    connect(instrument, &Instrument::ambientTemperature, this, &TileRow::showAmbientTemperature);
    connect(instrument, &Instrument::alarmChanged, this, &TileRow::showAlarm);
    connect(instrument, &Instrument::unitChanged, this, &TileRow::showUnit);
    connect(instrument, &Instrument::connectionStateChanged, this, &TileRow::showConnectionState);
    connect(instrument, &Instrument::opened, this, [this] {
        QTimer::singleShot(500, this, [this] {
            for (TempAreaItem *tile : {m_realtime, m_maximum, m_minimum, m_ambient})
                tile->fitFont();
        });
    });
    retranslate();
}

void TileRow::setName(const QString &name)
{
    m_name = name;
    showHeader();
}

void TileRow::setHeaderVisible(bool visible)
{
    m_header->setVisible(visible);
}

void TileRow::setSelected(bool selected)
{
    m_selected = selected;
    setBackgroundRole(selected ? QPalette::AlternateBase : QPalette::Window);
    QFont font = m_header->font();
    font.setBold(selected);
    m_header->setFont(font);
}

void TileRow::retranslate()
{
    m_realtime->setCaption(tr("实时值"));
    m_maximum->setCaption(tr("最大值"));
    m_minimum->setCaption(tr("最小值"));
    m_ambient->setCaption(tr("环温"));
    showHeader();
}

QString TileRow::stateText() const
{
    using State = Instrument::ConnectionState;
    switch (m_instrument ? m_instrument->state() : State::Closed) {
    case State::Connected:
        return QString();
    case State::NotResponding:
        return tr("仪器中断");
    case State::Lost:
        return tr("仪器已断开，等待重新连接");
    case State::Closed:
        return tr("设备已关闭");
    case State::NoInstrument:
        break;
    }
    return tr("找不到合适COM");
}

void TileRow::showHeader()
{
    const QString state = stateText();
    m_header->setText(state.isEmpty() ? m_name : m_name + QStringLiteral(" · ") + state);
    m_header->setStyleSheet(state.isEmpty() ? QString() : QStringLiteral("color: #a0a0a0;"));
}

void TileRow::clearTiles()
{
    const int unit = m_instrument ? m_instrument->unit() : 2;
    for (TempAreaItem *tile : {m_realtime, m_maximum, m_minimum, m_ambient})
        tile->UpdateTemp(0, unit, Qt::black, false);
}

void TileRow::showConnectionState()
{
    showHeader();
    // No reading is shown as if it were live.
    if (!live(m_instrument))
        clearTiles();
}

void TileRow::showObjectTemperature(double value, int unit)
{
    const bool fahrenheit = unit == 1;
    float &maximum = fahrenheit ? m_maxFahrenheit : m_maxCelsius;
    float &minimum = fahrenheit ? m_minFahrenheit : m_minCelsius;
    const auto reading = float(value);
    maximum = qMax(maximum, reading);
    minimum = qMin(minimum, reading);
    m_realtime->UpdateTemp(reading, unit, m_realtime->shownColor(), m_realtime->displayEnabled);
    m_maximum->UpdateTemp(maximum, unit, Qt::black, m_maximum->displayEnabled);
    m_minimum->UpdateTemp(minimum, unit, Qt::black, m_minimum->displayEnabled);
    // A tile switched off starts its extreme afresh from the next reading.
    if (!m_maximum->displayEnabled)
        maximum = -1000.0f;
    if (!m_minimum->displayEnabled)
        minimum = 10000.0f;
}

void TileRow::showAmbientTemperature(double value, int unit)
{
    m_ambient->UpdateTemp(float(value), unit, Qt::gray, m_ambient->displayEnabled);
}

void TileRow::showAlarm(AlarmState state)
{
    m_realtime->setHighlight(state == AlarmState::None   ? QColor()
                             : state == AlarmState::High ? ThresholdLines::HighColor
                                                         : ThresholdLines::LowColor);
}

void TileRow::showUnit(int unit, int previous)
{
    // The extremes go on in the new unit; the marks of an extreme not yet seen stay marks.
    const auto convert = [&](float value) {
        return value <= -1000.0f || value >= 10000.0f
                       ? value
                       : float(TemperatureUnit::convert(value, previous, unit));
    };
    const bool fahrenheit = unit == 1;
    float &maximum = fahrenheit ? m_maxFahrenheit : m_maxCelsius;
    float &minimum = fahrenheit ? m_minFahrenheit : m_minCelsius;
    maximum = convert(fahrenheit ? m_maxCelsius : m_maxFahrenheit);
    minimum = convert(fahrenheit ? m_minCelsius : m_minFahrenheit);
    if (!live(m_instrument))
        return;
    const Instrument::Reading latest = m_instrument->latest();
    if (!std::isnan(latest.object)) {
        m_realtime->UpdateTemp(
                float(latest.object), unit, m_realtime->shownColor(), m_realtime->displayEnabled);
        m_maximum->UpdateTemp(maximum, unit, Qt::black, m_maximum->displayEnabled);
        m_minimum->UpdateTemp(minimum, unit, Qt::black, m_minimum->displayEnabled);
    }
    if (!std::isnan(latest.ambient))
        m_ambient->UpdateTemp(float(latest.ambient), unit, Qt::gray, m_ambient->displayEnabled);
}

void TileRow::mousePressEvent(QMouseEvent *event)
{
    emit clicked();
    QWidget::mousePressEvent(event);
}

void TileRow::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (m_header->isVisible() && m_header->geometry().contains(event->pos()))
        emit renameRequested();
    QWidget::mouseDoubleClickEvent(event);
}

void TileRow::contextMenuEvent(QContextMenuEvent *event)
{
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    connect(menu->addAction(tr("重命名…")), &QAction::triggered, this, &TileRow::renameRequested);
    menu->popup(event->globalPos());
}
