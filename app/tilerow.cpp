#include "tilerow.h"

#include "instrumentstate.h"
#include "temperaturetile.h"
#include "temperatureunit.h"
#include "thresholdlines.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace {

const QColor RealtimeColour(255, 128, 0);

} // namespace

TileRow::TileRow(Instrument *instrument, QWidget *parent)
    : QWidget(parent)
    , m_instrument(instrument)
    , m_realtime(new TemperatureTile(this))
    , m_maximum(new TemperatureTile(this))
    , m_minimum(new TemperatureTile(this))
    , m_ambient(new TemperatureTile(this))
    , m_header(new QLabel(this))
    , m_rename(new QAction(this))
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_header->setObjectName(QStringLiteral("instrumentHeader"));
    m_header->setContentsMargins(4, 1, 4, 1);
    m_header->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_header->addAction(m_rename);
    m_header->installEventFilter(this);
    // A long state ("waiting to reconnect") is elided, not allowed to widen the tile column.
    m_header->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_header->hide();
    connect(m_rename, &QAction::triggered, this, &TileRow::renameAsked);
    column->addWidget(m_header);
    for (TemperatureTile *tile : {m_realtime, m_ambient, m_maximum, m_minimum})
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
    connect(instrument, &Instrument::alarmChanged, this, &TileRow::showHeader);
    const auto fitFontsSoon = [this] {
        QTimer::singleShot(500, this, [this] {
            for (TemperatureTile *tile : {m_realtime, m_maximum, m_minimum, m_ambient})
                tile->fitFont();
        });
    };
    connect(instrument, &Instrument::opened, this, fitFontsSoon);
    // A member of the set is shown only once its serial number is read, after it opened.
    if (showsLiveReadings(instrument))
        fitFontsSoon();
    retranslate();
}

void TileRow::retranslate()
{
    m_realtime->setCaption(tr("实时值"));
    m_maximum->setCaption(tr("最大值"));
    m_minimum->setCaption(tr("最小值"));
    m_ambient->setCaption(tr("环温"));
    m_rename->setText(tr("重命名…"));
    showHeader();
}

void TileRow::setName(const QString &name)
{
    m_name = name;
    showHeader();
}

void TileRow::setHeaderShown(bool shown)
{
    m_header->setVisible(shown);
}

void TileRow::setSelected(bool selected)
{
    m_selected = selected;
    showHeader();
}

void TileRow::showHeader()
{
    using State = Instrument::ConnectionState;
    // The state in the words of the status bar; a connected instrument needs none.
    const char *state = nullptr;
    switch (m_instrument ? m_instrument->state() : State::Closed) {
    case State::Connected:
        break;
    case State::NotResponding:
        state = QT_TRANSLATE_NOOP("ConnectionControls", "仪器中断");
        break;
    case State::Lost:
        state = QT_TRANSLATE_NOOP("ConnectionControls", "仪器已断开，等待重新连接");
        break;
    case State::Closed:
        state = QT_TRANSLATE_NOOP("ConnectionControls", "设备已关闭");
        break;
    case State::NoInstrument:
        state = QT_TRANSLATE_NOOP("ConnectionControls", "找不到合适COM");
        break;
    }
    m_headerText = state ? m_name + QStringLiteral(" · ")
                                   + QCoreApplication::translate("ConnectionControls", state)
                         : m_name;
    m_header->setToolTip(m_headerText);
    elideHeader();
    const AlarmState alarm = m_instrument ? m_instrument->alarmState() : AlarmState::None;
    const QColor text = alarm == AlarmState::High  ? ThresholdLines::HighColor
                        : alarm == AlarmState::Low ? ThresholdLines::LowColor
                                                   : QColor(Qt::black);
    m_header->setStyleSheet(
            QStringLiteral("QLabel{color:%1;background:%2;font-weight:%3;}")
                    .arg(text.name(),
                         m_selected ? QStringLiteral("#cde4f7") : QStringLiteral("transparent"),
                         m_selected ? QStringLiteral("bold") : QStringLiteral("normal")));
}

void TileRow::elideHeader()
{
    m_header->setText(m_header->fontMetrics().elidedText(
            m_headerText, Qt::ElideRight, m_header->contentsRect().width()));
}

void TileRow::mousePressEvent(QMouseEvent *event)
{
    emit chosen();
    QWidget::mousePressEvent(event);
}

bool TileRow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_header && event->type() == QEvent::MouseButtonDblClick)
        emit renameAsked();
    else if (watched == m_header && event->type() == QEvent::MouseButtonPress)
        emit chosen();
    else if (watched == m_header && event->type() == QEvent::Resize)
        elideHeader();
    return QWidget::eventFilter(watched, event);
}

void TileRow::clearTiles()
{
    const int unit = m_instrument ? m_instrument->unit() : 2;
    for (TemperatureTile *tile : {m_realtime, m_maximum, m_minimum, m_ambient})
        tile->addObjectReading(0, unit, Qt::black, false);
}

void TileRow::showConnectionState()
{
    showHeader();
    // No reading is shown as if it were live.
    if (!showsLiveReadings(m_instrument))
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
    m_realtime->addObjectReading(
            reading, unit, m_realtime->shownColor(), m_realtime->displayEnabled);
    m_maximum->addObjectReading(maximum, unit, Qt::black, m_maximum->displayEnabled);
    m_minimum->addObjectReading(minimum, unit, Qt::black, m_minimum->displayEnabled);
    // A tile switched off starts its extreme afresh from the next reading.
    if (!m_maximum->displayEnabled)
        maximum = -1000.0f;
    if (!m_minimum->displayEnabled)
        minimum = 10000.0f;
}

void TileRow::showAmbientTemperature(double value, int unit)
{
    m_ambient->addObjectReading(float(value), unit, Qt::gray, m_ambient->displayEnabled);
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
    if (!showsLiveReadings(m_instrument))
        return;
    const Instrument::Reading latest = m_instrument->latest();
    if (!std::isnan(latest.object)) {
        m_realtime->addObjectReading(
                float(latest.object), unit, m_realtime->shownColor(), m_realtime->displayEnabled);
        m_maximum->addObjectReading(maximum, unit, Qt::black, m_maximum->displayEnabled);
        m_minimum->addObjectReading(minimum, unit, Qt::black, m_minimum->displayEnabled);
    }
    if (!std::isnan(latest.ambient))
        m_ambient->addObjectReading(
                float(latest.ambient), unit, Qt::gray, m_ambient->displayEnabled);
}
