#include "connectioncontrols.h"

#include "buttonlooks.h"
#include "clickcombobox.h"
#include "deviceprobe.h"
#include "instrumentboard.h"
#include "instrumentset.h"
#include "instrumentstate.h"
#include "mainwindow_ui.h"
#include "messages.h"
#include "navbutton.h"
#include "portwatch.h"
#include "settings.h"
#include "thresholdlines.h"

#include <QCheckBox>
#include <QLabel>
#include <QStatusBar>

#include <optional>
#include <utility>

namespace {

QString alarmText(AlarmState state)
{
    switch (state) {
    case AlarmState::High:
        return ConnectionControls::tr("高温报警");
    case AlarmState::Low:
        return ConnectionControls::tr("低温报警");
    case AlarmState::None:
        break;
    }
    return QString();
}

// Opened by the user or the search, and not closed since: the strip's button closes it.
bool engaged(const Instrument *instrument)
{
    using State = Instrument::ConnectionState;
    const State state = instrument->state();
    return state == State::Connected || state == State::NotResponding || state == State::Lost;
}

} // namespace

ConnectionControls::ConnectionControls(const MainWindowUi &form,
                                       InstrumentBoard *board,
                                       InstrumentSet *set,
                                       ThresholdLines *thresholdLines,
                                       QWidget *window)
    : QObject(window)
    , ui(form)
    , m_board(board)
    , m_set(set)
    , m_thresholdLines(thresholdLines)
    , m_window(window)
    , m_port(new QLabel(form.statusBar))
    , m_baud(new QLabel(form.statusBar))
    , m_alarm(new QLabel(form.statusBar))
{
    for (QLabel *label : {m_port, m_baud, m_alarm})
        ui.statusBar->addWidget(label);
    connect(board, &InstrumentBoard::selected, this, &ConnectionControls::follow);
    connect(set, &InstrumentSet::portDeclined, this, [this](const QString &port) {
        if (std::exchange(m_portAsked, QString()) == port)
            Messages::critical(m_window, tr("错误"), tr("无法连接设备"));
    });
    connect(ui.pushButton_com, &NavButton::clicked, this, &ConnectionControls::openOrClose);
    connect(ui.comboBoxCom, &ClickComboBox::clicked, this, &ConnectionControls::refreshPorts);

    // A port whose device is gone is not offered.
    ui.comboBoxCom->addItems(PortWatch::presentPorts());
    auto *portWatch = new PortWatch(this);
    connect(portWatch, &PortWatch::portsChanged, this, &ConnectionControls::showPorts);
    portWatch->start();
    QStringList baudNames;
    for (qint32 baud : ProbeRates)
        baudNames.append(QString::number(baud));
    ui.comboBoxBaud->addItems(baudNames);
    // The search finds the rate, and always runs, whatever "AutoConn" says.
    ui.widget_baud->hide();
    ui.checkBox_auto->setChecked(true);
    ui.checkBox_auto->hide();
    styleToolButton(ui.pushButton_com);
    ui.pushButton_com->setText(tr("打开设备"));
}

void ConnectionControls::follow(Instrument *instrument)
{
    if (m_instrument)
        disconnect(m_instrument, nullptr, this, nullptr);
    m_instrument = instrument;
    connect(instrument,
            &Instrument::connectionStateChanged,
            this,
            &ConnectionControls::showConnectionState);
    connect(instrument, &Instrument::opened, this, &ConnectionControls::instrumentOpened);
    connect(instrument, &Instrument::openFailed, this, [this] {
        Messages::critical(m_window, tr("错误"), tr("无法打开端口"));
    });
    connect(instrument, &Instrument::alarmChanged, this, &ConnectionControls::showAlarm);
    connect(instrument,
            &Instrument::alarmThresholdsChanged,
            this,
            &ConnectionControls::showAlarmThresholds);
    showConnectionState();
    // It opened before it was chosen (or before its serial number made it a member).
    if (showsLiveReadings(instrument))
        instrumentOpened(instrument->link());
    showAlarm(instrument->alarmState());
    showAlarmThresholds(instrument->alarmThresholds());
}

void ConnectionControls::searchEnded()
{
    m_searchEnded = true;
    Instrument *standby = m_board->standby();
    if (!m_set->serialNumbers().isEmpty()
        || standby->state() == Instrument::ConnectionState::NoInstrument)
        return;
    ui.comboBoxCom->setCurrentText(
            appSettings().value(QLatin1String(SettingsKeys::ComName), QString()));
    ui.comboBoxBaud->setCurrentText(
            appSettings().value(QLatin1String(SettingsKeys::ComBaud), QString()));
    // The stand-in tells that nothing was found, as a search over a nameless port does.
    standby->search({QString()});
}

void ConnectionControls::saveSettings() const
{
    appSettings().setValue(QLatin1String(SettingsKeys::AutoConn),
                           ui.checkBox_auto->isChecked() ? QStringLiteral("1")
                                                         : QStringLiteral("0"));
    appSettings().setValue(QLatin1String(SettingsKeys::ComBaud), ui.comboBoxBaud->currentText());
    appSettings().setValue(QLatin1String(SettingsKeys::ComName), ui.comboBoxCom->currentText());
}

void ConnectionControls::retranslate()
{
    ui.pushButton_com->setText(engaged(m_instrument) ? tr("关闭设备") : tr("打开设备"));
    // Before the start-up search has ended the status stays empty.
    if (!m_port->text().isEmpty())
        showConnectionState();
    m_alarm->setText(alarmText(m_instrument->alarmState()));
}

void ConnectionControls::openOrClose()
{
    const QString name = ui.comboBoxCom->currentText();
    if (m_instrument->isOpen() || engaged(m_instrument)) {
        m_instrument->close();
        emit closed();
        return;
    }
    // Nothing found yet: the port is probed into the set.
    if (m_instrument == m_board->standby()) {
        m_portAsked = name;
        m_set->probePort(name);
        return;
    }
    m_instrument->startSearch(
            {name},
            {},
            [this, instrument = m_instrument](const std::optional<Instrument::Link> &found) {
                if (!found) {
                    Messages::critical(m_window, tr("错误"), tr("无法连接设备"));
                    return;
                }
                ui.comboBoxBaud->setCurrentText(QString::number(found->baud));
                if (instrument)
                    instrument->open(*found);
            });
}

void ConnectionControls::instrumentOpened(const Instrument::Link &link)
{
    ui.pushButton_com->setText(tr("关闭设备"));
    // A USB adapter may come back under another name.
    if (ui.comboBoxCom->findText(link.portName) < 0)
        ui.comboBoxCom->addItem(link.portName);
    ui.comboBoxCom->setCurrentText(link.portName);
    ui.comboBoxBaud->setCurrentText(QString::number(link.baud));
    ui.widget_com->setEnabled(false);
    ui.widget_baud->setEnabled(false);
    emit opened();
}

void ConnectionControls::showConnectionState()
{
    using State = Instrument::ConnectionState;
    // Until an instrument is found the status tells only the end of the search.
    if (m_instrument == m_board->standby() && !m_searchEnded)
        return;
    const State state = m_instrument->state();
    const Instrument::Link link = m_instrument->link();
    switch (state) {
    case State::Connected:
        m_port->setText(tr("已选择:") + link.portName);
        m_baud->setText(tr("波特率:") + QString::number(link.baud));
        return;
    case State::NotResponding:
        m_port->setText(tr("仪器中断"));
        break;
    case State::Lost:
        m_port->setText(tr("仪器已断开，等待重新连接"));
        break;
    case State::Closed:
        m_port->setText(tr("设备已关闭"));
        break;
    case State::NoInstrument:
        m_port->setText(tr("找不到合适COM"));
        break;
    }
    m_baud->clear();
    if (state == State::NotResponding || state == State::Lost)
        return;
    ui.pushButton_com->setText(tr("打开设备"));
    ui.widget_com->setEnabled(true);
    ui.widget_baud->setEnabled(true);
}

void ConnectionControls::refreshPorts()
{
    showPorts(PortWatch::presentPorts());
}

void ConnectionControls::showPorts(const QStringList &ports)
{
    const QString chosen = ui.comboBoxCom->currentText();
    ui.comboBoxCom->clear();
    ui.comboBoxCom->addItems(ports);
    if (ports.contains(chosen))
        ui.comboBoxCom->setCurrentText(chosen);
}

void ConnectionControls::showAlarm(AlarmState state)
{
    const bool high = state == AlarmState::High;
    m_alarm->setText(alarmText(state));
    m_alarm->setStyleSheet(high ? QStringLiteral("color: red;") : QStringLiteral("color: blue;"));
}

void ConnectionControls::showAlarmThresholds(const AlarmThresholds &t)
{
    m_thresholdLines->setThresholds(t.highEnabled ? std::optional(t.high) : std::nullopt,
                                    t.lowEnabled ? std::optional(t.low) : std::nullopt,
                                    m_instrument->unit());
}
