#include "mainwindow.h"

#include "aboutdialog.h"
#include "ambreltitalbar.h"
#include "buttonlooks.h"
#include "clickcombobox.h"
#include "deviceinfodialog.h"
#include "deviceprobe.h"
#include "messages.h"
#include "navbutton.h"
#include "optserial.h"
#include "pollthread.h"
#include "qtcompat.h"
#include "relaysettingdialog.h"
#include "responses.h"
#include "serialframe.h"
#include "serialports.h"
#include "language.h"
#include "settings.h"
#include "switchbutton.h"
#include "tempareaitem.h"
#include "chartsettings.h"
#include "chartprompter.h"
#include "chartsettingsdialog.h"
#include "ttwidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QRadioButton>
#include <QScrollArea>
#include <QScroller>
#include <QStatusBar>
#include <QTimer>
#include <QWindow>

#ifdef Q_OS_WIN
#include <windows.h>
#include <windowsx.h>
#endif

namespace {

constexpr qint64 InstrumentSilentAfterMs = 2000;
constexpr int ResizeBand = 5;
const char CheckboxOff[] = ":/imager/ic_checkbox_unsel.png";

// The chart reads and stores its own two settings through this.
class ChartSettingsAdapter : public ChartSettingsStore
{
public:
    QString value(const QString &key, const QString &fallback) const override
    {
        return appSettings().value(key, fallback);
    }
    void setValue(const QString &key, const QString &value) override { appSettings().setValue(key, value); }
    void save() override { appSettings().writeFile(); }
};

// The chart's boxes and file questions go where the window's go.
class ChartMessages : public ChartPrompter
{
public:
    void message(QMessageBox::Icon icon, QWidget *parent, const QString &title, const QString &text,
                 const QString &button) override
    {
        Messages::show(parent, icon, title, text, button);
    }
    QString saveFileName(QWidget *parent) override
    {
        return Messages::saveFileName(parent, QStringLiteral("File"), QStringLiteral("Files (*.txt)"));
    }
};

const char CheckboxOn[] = ":/imager/ic_checkbox_sel.png";

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

float toFahrenheit(float celsius)
{
    return celsius * 1.8f + 32.0f;
}

QByteArray oneByte(int value)
{
    return QByteArray(1, char(value));
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    // 1. Form and members. The chart in the form reads its settings as it is built.
    static ChartSettingsAdapter chartSettings;
    setChartSettingsStore(&chartSettings);
    ui.setupUi(this);
    static ChartMessages chartMessages;
    ui.widget_tt->setPrompter(&chartMessages);
    m_titleBar = new AmbrelTitalbar(this);
    m_areaRealtime = new TempAreaItem;
    m_areaMaximum = new TempAreaItem;
    m_areaMinimum = new TempAreaItem;
    m_areaAmbient = new TempAreaItem;

    // 2.-4. Poll thread, device fields, serial object.
    m_pollThread = std::make_unique<GetTempThread>([this](uchar code) { emit sig_fastread(code); });
    temperatureUnit = 2;
    m_serial = std::make_unique<OptSerial>(SerialFrame::XorFraming);

    // 5. Connections with the serial object and the combo boxes.
    connect(this, &MainWindow::sig_opencom, m_serial.get(), &OptSerial::OpenCom, Qt::QueuedConnection);
    connect(this, &MainWindow::sig_closecom, m_serial.get(), &OptSerial::CloseCom, Qt::QueuedConnection);
    connect(this, &MainWindow::sig_sendwrite, m_serial.get(), &OptSerial::SendWriteCommand,
            Qt::BlockingQueuedConnection);
    connect(this, &MainWindow::sig_sendread, m_serial.get(), &OptSerial::SendReadCommand,
            Qt::BlockingQueuedConnection);
    connect(this, &MainWindow::sig_fastread, m_serial.get(), &OptSerial::FastRead,
            Qt::BlockingQueuedConnection);
    connect(m_serial.get(), &OptSerial::DataRecv, this, &MainWindow::recvdata);
    connect(m_serial.get(), &OptSerial::OpenSuccessed, this, &MainWindow::open_successed);
    connect(m_serial.get(), &OptSerial::CloseSuccessed, this, &MainWindow::close_successed);
    connect(m_serial.get(), &OptSerial::errorOccurred, this, &MainWindow::handleSerialError);
    connect(this, &MainWindow::ttwidget_addvalue, ui.widget_tt, &ttwidget::UpdateTemp);
    connect(this, &MainWindow::ttwidget_addvalue_amb, ui.widget_tt, &ttwidget::UpdateTempAmb);
    connect(this, &MainWindow::stopcollect, ui.widget_tt, &ttwidget::stopcollect);
    connect(this, &MainWindow::unitRead, ui.widget_tt, &ttwidget::setUnit);
    connect(ui.widget_tt, &ttwidget::startstop, this, &MainWindow::ttwidgetStartStop);
    connect(ui.comboBoxCom, &ClickComboBox::clicked, this, &MainWindow::comboBoxClicked);
    connect(ui.comboBoxHoldmode, &ClickComboBox::clicked, this, &MainWindow::comboBoxholdmodeClicked);

    // 6. Frameless window.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::CustomizeWindowHint);
    setMenuWidget(m_titleBar);

    // 7. Panel and status fonts.
    const QString panelStyle = QStringLiteral(
            "QWidget{font-family: \"Microsoft YaHei\";font-weight:normal;font-size:13px;color: #000000;}");
    ui.widget_params->setStyleSheet(panelStyle);
    baudLabel.setStyleSheet(panelStyle);

    // 8. Port and baud lists.
    QStringList portNames;
    for (const SerialPortEntry &port : listSerialPorts())
        portNames.append(port.name);
    ui.comboBoxCom->addItems(portNames);
    QStringList baudNames;
    for (qint32 baud : ProbeRates)
        baudNames.append(QString::number(baud));
    ui.comboBoxBaud->addItems(baudNames);

    // 10. Title bar.
    connect(m_titleBar, &AmbrelTitalbar::MinimizeButtonClicked, this, &QWidget::showMinimized);
    connect(m_titleBar, &AmbrelTitalbar::CloseButtonClicked, this, &MainWindow::close);
    connect(m_titleBar, &AmbrelTitalbar::actionExit, this, &MainWindow::close);
    connect(m_titleBar, &AmbrelTitalbar::WindowsChangeClicked, this, &MainWindow::WindowsChanged);
    connect(m_titleBar, &AmbrelTitalbar::fileClicked, this, &MainWindow::onFilesClicked);
    connect(m_titleBar, &AmbrelTitalbar::actionAbout, this, &MainWindow::ClickAbout);
    connect(m_titleBar, &AmbrelTitalbar::actionDeviceInfo, this, &MainWindow::ClickDeviceInfo);
    connect(m_titleBar, &AmbrelTitalbar::actionImportData, this, &MainWindow::ClickImportData);
    connect(m_titleBar, &AmbrelTitalbar::actionChartSettings, this, &MainWindow::ClickChartSettings);
    connect(m_titleBar, &AmbrelTitalbar::actionExportData, ui.widget_tt, &ttwidget::on_pushButton_export_clicked);
    connect(m_titleBar, &AmbrelTitalbar::actionChinese, this, &MainWindow::ClickLangChinese);
    connect(m_titleBar, &AmbrelTitalbar::actionEnglish, this, &MainWindow::ClickLangEnglish);

    // 9. Emissivity and tool buttons.
    connect(ui.doubleSpinBox_emi, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
            &MainWindow::emissivityChanged);
    connect(ui.switchButton_modbus, &SwitchButton::checkedChanged, this, &MainWindow::modbusCheck);
    connect(ui.switchButton_backlight, &SwitchButton::checkedChanged, this, &MainWindow::backlightCheck);
    connect(ui.switchButton_laser, &SwitchButton::checkedChanged, this, &MainWindow::laserCheck);
    connect(ui.radioButton_C, &QRadioButton::clicked, this, &MainWindow::radioButton_C);
    connect(ui.radioButton_F, &QRadioButton::clicked, this, &MainWindow::radioButton_F);
    styleToolButton(ui.navButton_restore);
    styleToolButton(ui.pushButton_com);

    // 12. Only the running extremes can be switched off.
    m_areaMaximum->setCheckEnabled(true);
    m_areaMinimum->setCheckEnabled(true);
    m_areaRealtime->setCheckEnabled(false);
    m_areaAmbient->setCheckEnabled(false);

    // 13. The list is laid out once it has its real size; first paint comes before probing.
    QTimer::singleShot(100, this, &MainWindow::layoutAreaList);

    // 14. Status bar.
    versionLabel.setText(QStringLiteral("v") + QCoreApplication::applicationVersion());
    ui.statusBar->setFont(QFont(QStringLiteral("Microsoft YaHei UI")));
    ui.statusBar->setStyleSheet(QStringLiteral("QStatusBar::item {border: None;}"));
    ui.statusBar->addWidget(&portLabel);
    ui.statusBar->addWidget(&baudLabel);
    ui.statusBar->addPermanentWidget(&noteLabel);
    ui.statusBar->addPermanentWidget(&versionLabel);
    noteLabel.hide();

    // 15. Start-up connection; the search always runs, whatever "AutoConn" says.
    const QString savedBaud = appSettings().value(QLatin1String(SettingsKeys::ComBaud), QString());
    const QString savedName = appSettings().value(QLatin1String(SettingsKeys::ComName), QString());
    appSettings().value(QLatin1String(SettingsKeys::AutoConn), QString());
    ui.widget_baud->hide();
    ui.checkBox_auto->setChecked(true);
    ui.checkBox_auto->hide();
    QTimer::singleShot(100, this, [this, portNames, baudNames, savedName, savedBaud] {
        startupConnection(portNames, baudNames, savedName, savedBaud);
    });

    // 16.-17. Texts and lists.
    ui.pushButton_com->setText(tr("打开设备"));
    for (SwitchButton *button : {ui.switchButton_laser, ui.switchButton_backlight, ui.switchButton_modbus}) {
        button->setTextOn(tr("打开"));
        button->setTextOff(tr("关闭"));
    }
    ui.comboBoxHoldmode->addItems({QStringLiteral("Real"), QStringLiteral("Peak"), QStringLiteral("Valley"),
                                   QStringLiteral("AdvPeak")});
    ui.comboBoxAnalogoutput->addItems({QStringLiteral("0~5V"), QStringLiteral("0~10V"), QStringLiteral("0~20mA"),
                                       QStringLiteral("4~20mA"), QStringLiteral("TCK"), QStringLiteral("TCS"),
                                       QStringLiteral("TCJ"), QStringLiteral("None")});

    // 18. Nothing can be edited before the instrument has said what it has.
    setParameterRowsEnabled(false);

    // 19. Language.
    LoadLanguage(appSettings().value(QLatin1String(SettingsKeys::Language), QLatin1String(LanguageNames::English)));
    ui.retranslateUi(this);

    // 20. Panel visibility.
    ui.scrollArea->setVisible(appSettings().value(QLatin1String(SettingsKeys::ShowSettingPanel),
                                                  QStringLiteral("1"))
                              == QLatin1String("1"));

    // 21. Button looks.
    for (NavButton *button : {ui.pushButton_file, ui.pushButton_device, ui.pushButton_settings, ui.pushButton_help})
        styleMenuButton(button);
    ui.navButton_startstop->setText(tr("开始"));
    ui.navButton_hc->setText(tr("暂停"));
    ui.navButton_mode->setText(tr("全局"));
    ui.navButton_amb->setText(tr("环温"));
    for (NavButton *button : {ui.navButton_mode, ui.navButton_amb, ui.navButton_autofit}) {
        styleIconButton(button, QLatin1String(CheckboxOff));
        button->installEventFilter(this);
    }
    for (NavButton *button : {ui.navButton_startstop, ui.navButton_hc, ui.navButton_horizontal,
                              ui.navButton_vertical, ui.navButton_export})
        styleToolButton(button);

    // 22.-24.
    buildMenus();
    ui.widget_modbus->hide();
    statusTimerId = startTimer(1000, Qt::CoarseTimer);
}

MainWindow::~MainWindow()
{
    stopPolling();
    // The serial object goes last: the poll thread may have been waiting on it.
    m_serial.reset();
}

void MainWindow::setInstrumentNote(const QString &note)
{
    noteLabel.setText(note);
    noteLabel.setVisible(!note.isEmpty());
}

// ---- Start-up ------------------------------------------------------------------------------

void MainWindow::layoutAreaList()
{
    QListWidget *list = ui.listWidgetAreas;
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    QScroller::grabGesture(list->viewport(), QScroller::LeftMouseButtonGesture);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    nameAreas();
    for (auto [item, area] : {std::pair{&m_itemRealtime, m_areaRealtime},
                              {&m_itemAmbient, m_areaAmbient},
                              {&m_itemMaximum, m_areaMaximum},
                              {&m_itemMinimum, m_areaMinimum}}) {
        *item = new QListWidgetItem(list);
        list->setItemWidget(*item, area);
    }
    resizeAreas();

    const QColor gray(Qt::gray);
    m_areaRealtime->setTextColor(QColor(255, 128, 0));
    m_areaMaximum->setTextColor(Qt::black);
    m_areaMinimum->setTextColor(Qt::black);
    m_areaAmbient->setTextColor(gray);
    m_areaRealtime->UpdateTemp(0, temperatureUnit, QColor(255, 128, 0), false);
    m_areaMaximum->UpdateTemp(0, temperatureUnit, Qt::black, false);
    m_areaMinimum->UpdateTemp(0, temperatureUnit, Qt::black, false);
    m_areaAmbient->UpdateTemp(0, temperatureUnit, gray, false);
}

void MainWindow::startupConnection(const QStringList &ports, const QStringList &bauds,
                                   const QString &savedName, const QString &savedBaud)
{
    QString name;
    qint32 baud = 0;
    if (findDevice(name, baud)) {
        emit sig_opencom(name, QSerialPort::BaudRate(baud));
        const int portIndex = ports.indexOf(name);
        if (portIndex >= 0)
            ui.comboBoxCom->setCurrentIndex(portIndex);
        for (int i = 0; i < bauds.size(); ++i) {
            if (bauds.at(i).toInt() == baud) {
                ui.comboBoxBaud->setCurrentIndex(i);
                break;
            }
        }
        portLabel.setText(tr("已选择:") + name);
        baudLabel.setText(tr("波特率:") + QString::number(baud));
        return;
    }
    const int nameIndex = ui.comboBoxCom->findText(savedName);
    if (nameIndex >= 0)
        ui.comboBoxCom->setCurrentIndex(nameIndex);
    const int baudIndex = ui.comboBoxBaud->findText(savedBaud);
    if (baudIndex >= 0)
        ui.comboBoxBaud->setCurrentIndex(baudIndex);
    portLabel.setText(tr("找不到合适COM"));
}

// ---- Port management -----------------------------------------------------------------------

bool MainWindow::detectProtocol(const QString &portName, qint32 baud)
{
    const std::optional<int> framing = probeFraming(portName, baud);
    if (!framing)
        return false;
    m_serial->setProtocolMode(*framing);
    return true;
}

bool MainWindow::findDevice(QString &portName, qint32 &baud)
{
    const std::optional<FoundDevice> found = ::findDevice(
            listSerialPorts(), [this](const QString &name, qint32 rate) { return detectProtocol(name, rate); });
    if (!found)
        return false;
    portName = found->portName;
    baud = found->baud;
    return true;
}

void MainWindow::on_pushButton_com_clicked()
{
    const QString name = ui.comboBoxCom->currentText();
    if (m_serial->isPortOpen()) {
        emit sig_closecom();
        setParameterRowsEnabled(false);
        return;
    }
    qint32 found = 0;
    for (qint32 baud : ProbeRates) {
        if (detectProtocol(name, baud)) {
            found = baud;
            break;
        }
    }
    if (!found) {
        Messages::critical(this, tr("错误"), tr("无法连接设备"));
        return;
    }
    ui.comboBoxBaud->setCurrentText(QString::number(found));
    if (detectProtocol(name, found))
        emit sig_opencom(name, QSerialPort::BaudRate(found));
    else
        Messages::critical(this, tr("错误"), tr("无法打开端口"));
}

void MainWindow::open_successed(bool ok)
{
    if (!ok) {
        Messages::critical(this, tr("错误"), tr("无法打开端口"));
        return;
    }
    emit sig_sendread(0x17);
    ui.pushButton_com->setText(tr("关闭设备"));
    portLabel.setText(tr("已选择:") + ui.comboBoxCom->currentText());
    baudLabel.setText(tr("波特率:") + ui.comboBoxBaud->currentText());
    ui.widget_com->setEnabled(false);
    ui.widget_baud->setEnabled(false);
    m_pollThread->start();
    QTimer::singleShot(500, this, [this] {
        for (TempAreaItem *area : {m_areaRealtime, m_areaMaximum, m_areaMinimum, m_areaAmbient})
            area->fitFont();
    });
    for (NavButton *button : {ui.navButton_startstop, ui.navButton_hc, ui.navButton_mode})
        styleToolButton(button);
}

void MainWindow::close_successed(bool)
{
    ui.pushButton_com->setText(tr("打开设备"));
    portLabel.setText(tr("已选择:"));
    baudLabel.setText(tr("波特率:"));
    for (NavButton *button : {ui.navButton_startstop, ui.navButton_hc, ui.navButton_mode})
        styleDisabledButton(button);
    ui.widget_com->setEnabled(true);
    ui.widget_baud->setEnabled(true);
    m_pollThread->stop();
}

void MainWindow::handleSerialError(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::WriteError:
        emit stopcollect();
        break;
    case QSerialPort::UnknownError:
    case QSerialPort::TimeoutError:
        if (++serialErrorCount >= 10)
            emit stopcollect();
        break;
    default:
        break;
    }
}

void MainWindow::comboBoxClicked()
{
    ui.comboBoxCom->clear();
    for (const SerialPortEntry &port : listSerialPorts())
        ui.comboBoxCom->addItem(port.name);
}

void MainWindow::setParameterRowsEnabled(bool enabled)
{
    for (QWidget *row : {ui.widget_emissivity, ui.widget_transmit, ui.widget_holdmode, ui.widget_holdduration,
                         ui.widget_avgtime, ui.widget_superholdvalue, ui.widget_halert, ui.widget_larert,
                         ui.widget_analogout, ui.widget_outputl, ui.widget_outupper, ui.widget_laser,
                         ui.widget_backlight, static_cast<QWidget *>(ui.groupBox_unit)})
        row->setEnabled(enabled);
}

void MainWindow::stopPolling()
{
    if (m_pollThread)
        m_pollThread->stop();
}

// ---- Response dispatch ---------------------------------------------------------------------

void MainWindow::readAllParameters()
{
    for (uchar code : {0x40, 0x15, 0x16, 0x20, 0x42, 0x46, 0x44, 0x45, 0x12})
        emit sig_sendread(code);
}

void MainWindow::recvdata(uchar code, const QByteArray &data, bool ok)
{
    if (!ok) {
        if (code == 0x64)
            Messages::information(nullptr, tr("提示"), tr("恢复出厂设置失败"));
        return;
    }
    serialErrorCount = 0;
    const int framing = m_serial->protocolMode();
    const bool xor_ = framing != SerialFrame::CrcFraming;
    const auto temperature = [&] { return Responses::temperature(data, framing); };
    // A single byte: the given XOR offset (or the last byte, the checksum's twin, for -1);
    // offset 4 in the CRC framing.
    const auto byteAt = [&](int xorOffset) -> std::optional<uchar> {
        const int offset = !xor_ ? 4 : xorOffset < 0 ? int(data.size()) - 1 : xorOffset;
        if (offset < 0 || data.size() <= offset)
            return std::nullopt;
        return uchar(data.at(offset));
    };
    switch (code) {
    case 0x17:
        if (const auto identity = Responses::identity(data, framing)) {
            writeEnableRequired.store(identity->writeEnableRequired);
            readAllParameters();
            deviceModel.store(identity->model);
        }
        break;
    case 0x01:
    case 0x08:
        handleObjectTemperature(data, framing);
        break;
    case 0x02:
        handleAmbientTemperature(data, framing);
        break;
    case 0x40:
        handleFeatureMask(data, framing);
        break;
    case 0x12:
        if (const auto number = Responses::serialNumber(data, framing))
            serialNumber = qint32(*number);
        break;
    case 0x15:
    case 0x16:
        if (const auto value = temperature()) {
            const QString text = rangeText(*value);
            if (code == 0x15) {
                rangeLow = *value;
                ui.label_rangel->setText(text);
            } else {
                rangeHigh = *value;
                ui.label_rangeh->setText(text);
            }
        }
        break;
    case 0x20:
    case 0xA0:
        if (const auto raw = Responses::value16(data, framing)) {
            ui.doubleSpinBox_emi->setValue(*raw / 1000.0);
            ui.widget_tt->emissivity = float(*raw / 1000.0);
        }
        break;
    case 0x42:
    case 0xC2:
        if (const auto raw = Responses::value16(data, framing))
            ui.doubleSpinBox_transmit->setValue(*raw / 1000.0);
        break;
    case 0x21:
    case 0xA1:
    case 0x22:
    case 0xA2:
    case 0x44:
    case 0xC4:
    case 0x45:
    case 0xC5:
    case 0x4D:
    case 0xCD: {
        const auto value = temperature();
        if (!value)
            break;
        const std::pair<uchar, QDoubleSpinBox *> boxes[] = {
                {0x21, ui.doubleSpinBox_halert}, {0x22, ui.doubleSpinBox_lalert},
                {0x44, ui.doubleSpinBox_outputl}, {0x45, ui.doubleSpinBox_outputh},
                {0x4D, ui.doubleSpinBox_supervalue}};
        // Write codes are the read codes with the top bit set.
        for (const auto &[readCode, box] : boxes)
            if ((code & 0x7F) == readCode)
                box->setValue(double(*value));
        break;
    }
    case 0x48:
    case 0xC8:
        if (const auto raw = Responses::value16(data, framing))
            ui.doubleSpinBox_avgtime->setValue(*raw / 10.0);
        break;
    case 0x49:
    case 0xC9:
    case 0x4A:
    case 0xCA:
        if (const auto raw = Responses::value16(data, framing))
            ui.doubleSpinBox_holdtime->setValue(*raw / 10.0);
        break;
    case 0x47:
    case 0xC7:
        if (const auto mode = byteAt(0))
            handleHoldMode(*mode);
        break;
    case 0x46:
        if (xor_ && !data.isEmpty()) {
            static const char *const outputs[] = {"0~5V", "0~10V", "0~20mA", "4~20mA", "TCK", "TCS", "TCJ"};
            const uchar type = uchar(data.at(0));
            ui.comboBoxAnalogoutput->setCurrentText(
                    QLatin1String(type < std::size(outputs) ? outputs[type] : "None"));
        }
        break;
    case 0x53:
        if (const auto unit = byteAt(-1); unit && data.size() > 1) {
            temperatureUnit = *unit;
            // Neither button stays checked for a unit the program does not know.
            for (QRadioButton *button : {ui.radioButton_C, ui.radioButton_F})
                button->setAutoExclusive(false);
            ui.radioButton_F->setChecked(*unit == 1);
            ui.radioButton_C->setChecked(*unit == 2);
            for (QRadioButton *button : {ui.radioButton_C, ui.radioButton_F})
                button->setAutoExclusive(true);
            emit unitRead(*unit);
        }
        break;
    case 0x54:
        if (const auto value = byteAt(-1); value && data.size() > 1 && *value <= 1)
            ui.switchButton_backlight->setChecked(*value == 1);
        break;
    case 0xD4:
        if (xor_ && !data.isEmpty())
            ui.switchButton_backlight->setChecked(data.at(0) != 0);
        break;
    case 0x55:
        if (const auto value = byteAt(-1); value && data.size() > 1)
            ui.switchButton_laser->setChecked(*value == 1);
        break;
    case 0xD5:
        if (xor_ && !data.isEmpty())
            ui.switchButton_laser->setChecked(data.at(0) != 0);
        break;
    case 0x56:
    case 0xD6:
    case 0x57:
    case 0xD7:
        if (const auto value = byteAt(0)) {
            QCheckBox *box = (code & 0x7F) == 0x56 ? ui.checkBox_lalert : ui.checkBox_halert;
            if (qint8(*value) == 1 || *value == 0)
                box->setChecked(*value == 1);
        }
        break;
    case 0x68:
    case 0xE8:
        if (const auto value = byteAt(0)) {
            if (*value == 0)
                ui.radioButtonNormal->setChecked(true);
            else
                ui.radioButtonBody->setChecked(true);
        }
        break;
    case 0x8B:
    case 0x8A:
    case 0x8D:
    case 0x8C:
        if (xor_ && data.size() == 3) {
            const quint16 value = SerialFrame::be16(data, 0);
            ((code == 0x8B || code == 0x8A) ? relay1Setting : relay2Setting) = value;
        }
        break;
    case 0x85: {
        // The CRC framing carries the value where it carries every other one.
        const int offset = xor_ ? 0 : 3;
        if (data.size() >= offset + 2)
            Messages::information(nullptr, tr("提示"),
                                  SerialFrame::be16(data, offset) == 1 ? tr("开启Modbus协议成功")
                                                                       : tr("关闭Modbus协议成功"));
        break;
    }
    case 0x64: {
        const bool success = !writeEnableRequired.load() || (!data.isEmpty() && data.at(0) != 0);
        Messages::information(nullptr, tr("提示"), success ? tr("恢复出厂设置成功") : tr("恢复出厂设置失败"));
        break;
    }
    default:
        break;
    }
}

void MainWindow::handleObjectTemperature(const QByteArray &data, int framing)
{
    const std::optional<float> reading = Responses::objectTemperature(data, framing);
    if (!reading)
        return;
    lastResponseTime = nowMs();
    const float celsius = *reading;
    if (temperatureUnit != 1) {
        if (showTemperatures(celsius, rangeLow, rangeHigh, maxCelsius, minCelsius))
            emit ttwidget_addvalue(celsius);
        return;
    }
    const float fahrenheit = toFahrenheit(celsius);
    // The chart gets the reading in the unit its axis shows.
    if (showTemperatures(fahrenheit, toFahrenheit(rangeLow), toFahrenheit(rangeHigh), maxFahrenheit,
                         minFahrenheit))
        emit ttwidget_addvalue(fahrenheit);
}

bool MainWindow::showTemperatures(float value, float low, float high, float &maximum, float &minimum)
{
    if (value > high || value < low)
        return false;
    QColor alarm = Qt::white;
    if (ui.checkBox_halert->isChecked() && double(value) > ui.doubleSpinBox_halert->value())
        alarm = Qt::red;
    else if (ui.checkBox_lalert->isChecked() && ui.doubleSpinBox_lalert->value() > double(value))
        alarm = Qt::blue;
    maximum = qMax(maximum, value);
    minimum = qMin(minimum, value);
    m_areaRealtime->UpdateTemp(value, temperatureUnit, alarm, m_areaRealtime->displayEnabled);
    m_areaMaximum->UpdateTemp(maximum, temperatureUnit, Qt::black, m_areaMaximum->displayEnabled);
    m_areaMinimum->UpdateTemp(minimum, temperatureUnit, Qt::black, m_areaMinimum->displayEnabled);
    // A tile switched off starts its extreme afresh from the next reading.
    if (!m_areaMaximum->displayEnabled)
        maximum = -1000.0f;
    if (!m_areaMinimum->displayEnabled)
        minimum = 10000.0f;
    return true;
}

void MainWindow::handleAmbientTemperature(const QByteArray &data, int framing)
{
    const std::optional<float> reading = Responses::temperature(data, framing);
    if (!reading)
        return;
    const float value = temperatureUnit == 1 ? toFahrenheit(*reading) : *reading;
    m_areaAmbient->UpdateTemp(value, temperatureUnit, Qt::gray, m_areaAmbient->displayEnabled);
    emit ttwidget_addvalue_amb(value);
}

void MainWindow::handleFeatureMask(const QByteArray &data, int framing)
{
    const bool xor_ = framing != SerialFrame::CrcFraming;
    if (data.size() != (xor_ ? 5 : 9))
        return;
    const int first = xor_ ? 0 : 3;
    const auto mask = [&](int index) { return uchar(data.at(first + index)); };
    const uchar m0 = mask(0), m1 = mask(1), m2 = mask(2), m3 = mask(3);
    const auto enable = [](QWidget *row, bool on) { row->setEnabled(on); };
    const auto readAll = [this](std::initializer_list<uchar> codes) {
        for (uchar code : codes)
            emit sig_sendread(code);
    };

    enable(ui.widget_emissivity, m3 & 0x02);
    if (xor_)
        enable(ui.widget_transmit, m3 & 0x04);
    enable(ui.widget_outputl, m3 & 0x10);
    enable(ui.widget_outupper, m3 & 0x10);
    enable(ui.widget_halert, m3 & 0x20);
    enable(ui.widget_larert, m3 & 0x20);
    if (m3 & 0x20)
        readAll({0x56, 0x57, 0x21, 0x22});
    enable(ui.widget_analogout, m3 & 0x40);
    enable(ui.widget_avgtime, m3 & 0x80);
    if (m3 & 0x80)
        readAll({0x48});
    enable(ui.widget_holdmode, m2 & 0x01);
    if (m2 & 0x01) {
        if (xor_)
            readAll({0x47, 0x4D});
        else
            readAll({0x47, 0x49, 0x4A, 0x4D});
    }
    enable(ui.widget_laser, m1 & 0x02);
    if (m1 & 0x02)
        readAll({0x55});
    enable(ui.widget_backlight, m1 & 0x04);
    if (m1 & 0x04)
        readAll({0x54});
    enable(ui.groupBox_unit, m1 & 0x08);
    if (m1 & 0x08)
        readAll({0x53});
    enable(ui.widget_range_mode, m1 & 0x40);
    if (m1 & 0x40)
        readAll({0x68});
    if (!xor_)
        return;
    if (!(m0 & 0x04))
        ui.widget_modbus->hide();
    if (m0 & 0x10) {
        relay1Setting = 0xFFFF;
        relay2Setting = 0xFFFF;
        readAll({0x8B, 0x8D});
    }
}

void MainWindow::handleHoldMode(uchar mode)
{
    if (mode > 3)
        return;
    ui.comboBoxHoldmode->setCurrentIndex(mode);
    ui.widget_holdduration->setEnabled(mode == 1 || mode == 2);
    ui.widget_superholdvalue->setEnabled(mode == 3);
    if (mode == 1)
        emit sig_sendread(0x49);
    else if (mode == 2)
        emit sig_sendread(0x4A);
}

// ---- Write handlers ------------------------------------------------------------------------

void MainWindow::guardedWrite(uchar code, const QByteArray &data)
{
    if (writeEnableRequired.load())
        emit sig_sendwrite(0xFD, oneByte(0x01));
    emit sig_sendwrite(code, data);
}

void MainWindow::on_doubleSpinBox_emi_editingFinished()
{
    qDebug() << "emi t:" << ui.doubleSpinBox_emi->value();
    guardedWrite(0xA0, Responses::registerBytes(ui.doubleSpinBox_emi->value(), 1000, 0));
}

void MainWindow::on_doubleSpinBox_transmit_editingFinished()
{
    qDebug() << "emi t:" << ui.doubleSpinBox_transmit->value();
    guardedWrite(0xC2, Responses::registerBytes(ui.doubleSpinBox_transmit->value(), 1000, 0));
}

void MainWindow::on_doubleSpinBox_avgtime_editingFinished()
{
    guardedWrite(0xC8, Responses::registerBytes(ui.doubleSpinBox_avgtime->value(), 10, 0));
}

void MainWindow::on_doubleSpinBox_holdtime_editingFinished()
{
    const int mode = ui.comboBoxHoldmode->currentIndex();
    if (mode != 1 && mode != 2)
        return;
    guardedWrite(mode == 1 ? 0xC9 : 0xCA, Responses::registerBytes(ui.doubleSpinBox_holdtime->value(), 10, 0));
}

void MainWindow::on_doubleSpinBox_supervalue_editingFinished()
{
    guardedWrite(0xCD, Responses::registerBytes(ui.doubleSpinBox_supervalue->value(), 10, 1000));
}

void MainWindow::on_doubleSpinBox_halert_editingFinished()
{
    guardedWrite(0xA1, Responses::registerBytes(ui.doubleSpinBox_halert->value(), 10, 1000));
}

void MainWindow::on_doubleSpinBox_lalert_editingFinished()
{
    guardedWrite(0xA2, Responses::registerBytes(ui.doubleSpinBox_lalert->value(), 10, 1000));
}

void MainWindow::on_doubleSpinBox_outputl_editingFinished()
{
    guardedWrite(0xC4, Responses::registerBytes(ui.doubleSpinBox_outputl->value(), 10, 1000));
}

void MainWindow::on_doubleSpinBox_outputh_editingFinished()
{
    guardedWrite(0xC5, Responses::registerBytes(ui.doubleSpinBox_outputh->value(), 10, 1000));
}

void MainWindow::on_comboBoxHoldmode_currentIndexChanged(int index)
{
    if (index >= 0)
        emit sig_sendwrite(0xC7, oneByte(index));
}

void MainWindow::on_checkBox_halert_toggled(bool checked)
{
    emit sig_sendwrite(0xD7, oneByte(checked ? 1 : 0));
}

void MainWindow::on_checkBox_lalert_toggled(bool checked)
{
    emit sig_sendwrite(0xD6, oneByte(checked ? 1 : 0));
}

void MainWindow::on_radioButtonNormal_clicked()
{
    emit sig_sendwrite(0xE8, oneByte(0));
}

void MainWindow::on_radioButtonBody_clicked()
{
    emit sig_sendwrite(0xE8, oneByte(1));
}

void MainWindow::radioButton_C()
{
    guardedWrite(0xD3, oneByte(2));
    emit unitRead(2);
}

void MainWindow::radioButton_F()
{
    guardedWrite(0xD3, oneByte(1));
    emit unitRead(1);
}

void MainWindow::backlightCheck(bool check)
{
    guardedWrite(0xD4, oneByte(check ? 1 : 0));
}

void MainWindow::laserCheck(bool check)
{
    guardedWrite(0xD5, oneByte(check ? 1 : 0));
}

void MainWindow::modbusCheck(bool check)
{
    QByteArray data(1, '\0');
    data.append(char(check ? 1 : 0));
    emit sig_sendwrite(0x85, data);
}

void MainWindow::on_navButton_restore_clicked()
{
    if (writeEnableRequired.load())
        emit sig_sendwrite(0xFD, oneByte(0x01));
    emit sig_sendread(0x64);
    readAllParameters();
}

// ---- Device dialogs ------------------------------------------------------------------------

void MainWindow::ClickDeviceInfo()
{
    DeviceInfoDialog dialog;
    dialog.deviceSerial = serialNumber;
    dialog.dialogRangeLow = rangeLow;
    dialog.dialogRangeHigh = rangeHigh;
    dialog.refreshLabels();
    Messages::exec(dialog);
}

void MainWindow::ClickRelaySettings()
{
    RelaySettingDialog dialog;
    dialog.relay1 = relay1Setting;
    dialog.relay2 = relay2Setting;
    dialog.loadRelaySettings();
    if (Messages::exec(dialog) != QDialog::Accepted || dialog.relay1 >= 4 || dialog.relay2 >= 4)
        return;
    const auto twoBytes = [](quint16 value) {
        QByteArray bytes(1, char(value >> 8));
        bytes.append(char(value & 0xFF));
        return bytes;
    };
    guardedWrite(0x8A, twoBytes(dialog.relay1));
    guardedWrite(0x8C, twoBytes(dialog.relay2));
}

// ---- Window --------------------------------------------------------------------------------

void MainWindow::ttwidgetStartStop(bool flag)
{
    ui.widget_params->setEnabled(!flag);
    for (NavButton *button : {ui.navButton_restore, ui.pushButton_com}) {
        if (flag)
            styleDisabledButton(button);
        else
            styleToolButton(button);
    }
}

void MainWindow::ClickParamsSettingsShow()
{
    ui.scrollArea->show();
    appSettings().setValue(QLatin1String(SettingsKeys::ShowSettingPanel), QStringLiteral("1"));
}

void MainWindow::ClickParamsSettingsHide()
{
    ui.scrollArea->hide();
    appSettings().setValue(QLatin1String(SettingsKeys::ShowSettingPanel), QStringLiteral("0"));
}

void MainWindow::onFilesClicked()
{
    qDebug() << "onFilesClicked";
}

void MainWindow::WindowsChanged()
{
    if (isMaximized()) {
        showNormal();
        m_titleBar->changeImage(true);
    } else {
        showMaximized();
        m_titleBar->changeImage(false);
    }
}

// ---- Menus and languages -------------------------------------------------------------------

namespace {
const char MenuStyle[] =
        "QMenu {background-color:rgba(205,205,205,255);border:3px solid rgba(205,205,205,255);}"
        "                          QMenu::item {min-width:92px;min-height:30;font-size: 12px;color: "
        "rgb(0,0,0);background:rgba(205,205,205,255);border:0px solid rgba(205,205,205,255);padding:1px "
        "1px;margin:1px 1px;}                          QMenu::item:selected {background:rgba(120,120,120,"
        "160);border:0px solid rgba(120,120,120,160);}  /*选中或者说鼠标滑过状态*/                       "
        "   QMenu::item:pressed {background:rgba(205,205,205,255);border:0px solid rgba(205,205,205,255);}"
        "                           ";
} // namespace

QAction *MainWindow::addAction(QMenu *menu, void (MainWindow::*handler)())
{
    QAction *action = menu->addAction(QString());
    connect(action, &QAction::triggered, this, handler);
    return action;
}

void MainWindow::buildMenus()
{
    const QString style = QString::fromUtf8(MenuStyle);
    m_fileMenu = new QMenu(this);
    m_importAction = addAction(m_fileMenu, &MainWindow::ClickImportData);
    m_exportAction = m_fileMenu->addAction(QString());
    connect(m_exportAction, &QAction::triggered, ui.widget_tt, &ttwidget::on_pushButton_export_clicked);
    m_exitAction = m_fileMenu->addAction(QString());
    connect(m_exitAction, &QAction::triggered, this, &MainWindow::close);

    m_deviceMenu = new QMenu(this);
    m_deviceInfoAction = addAction(m_deviceMenu, &MainWindow::ClickDeviceInfo);

    m_settingsMenu = new QMenu(this);
    m_panelMenu = m_settingsMenu->addMenu(QString());
    m_showPanelAction = addAction(m_panelMenu, &MainWindow::ClickParamsSettingsShow);
    m_hidePanelAction = addAction(m_panelMenu, &MainWindow::ClickParamsSettingsHide);
    m_chartSettingsAction = addAction(m_settingsMenu, &MainWindow::ClickChartSettings);
    m_relayAction = addAction(m_settingsMenu, &MainWindow::ClickRelaySettings);
    m_languageMenu = m_settingsMenu->addMenu(QString());
    // Each language keeps its own name, whatever language is active.
    addAction(m_languageMenu, &MainWindow::ClickLangChinese)->setText(QStringLiteral("简体中文"));
    addAction(m_languageMenu, &MainWindow::ClickTrChinese)->setText(QStringLiteral("繁體中文"));
    addAction(m_languageMenu, &MainWindow::ClickLangEnglish)->setText(QStringLiteral("English"));

    m_helpMenu = new QMenu(this);
    m_aboutAction = addAction(m_helpMenu, &MainWindow::ClickAbout);

    const std::pair<NavButton *, QMenu *> menus[] = {{ui.pushButton_file, m_fileMenu},
                                                     {ui.pushButton_device, m_deviceMenu},
                                                     {ui.pushButton_settings, m_settingsMenu},
                                                     {ui.pushButton_help, m_helpMenu}};
    for (const auto &[button, menu] : menus) {
        menu->setStyleSheet(style);
        button->setMenu(menu);
    }
    retranslateMenus();
}

void MainWindow::retranslateMenus()
{
    m_importAction->setText(tr("打开记录"));
    m_exportAction->setText(tr("保存记录"));
    m_exitAction->setText(tr("退出"));
    m_deviceInfoAction->setText(tr("仪器信息"));
    m_chartSettingsAction->setText(tr("表格设置"));
    m_relayAction->setText(tr("继电器设置"));
    m_aboutAction->setText(tr("关于"));
    m_showPanelAction->setText(tr("显示"));
    m_hidePanelAction->setText(tr("隐藏"));
    m_languageMenu->setTitle(tr("语言"));
    m_panelMenu->setTitle(tr("参数设置"));
}

void MainWindow::switchLanguage(const char *name)
{
    appSettings().setValue(QLatin1String(SettingsKeys::Language), QLatin1String(name));
    LoadLanguage(QLatin1String(name));
    ui.retranslateUi(this);
}

void MainWindow::ClickLangChinese()
{
    switchLanguage(LanguageNames::SimplifiedChinese);
}

void MainWindow::ClickTrChinese()
{
    switchLanguage(LanguageNames::TrChinese);
}

void MainWindow::ClickLangEnglish()
{
    switchLanguage(LanguageNames::English);
}

void MainWindow::ClickAbout()
{
    AboutDialog dialog(appSettings().settingsDir());
    Messages::exec(dialog);
}

void MainWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange && m_languageMenu) {
        ui.retranslateUi(this);
        for (SwitchButton *button : {ui.switchButton_laser, ui.switchButton_backlight, ui.switchButton_modbus}) {
            button->setTextOn(tr("打开"));
            button->setTextOff(tr("关闭"));
        }
        const bool open = m_serial->isPortOpen();
        portLabel.setText(tr("已选择:") + (open ? ui.comboBoxCom->currentText() : QString()));
        baudLabel.setText(tr("波特率:") + (open ? ui.comboBoxBaud->currentText() : QString()));
        ui.pushButton_com->setText(open ? tr("关闭设备") : tr("打开设备"));
        ui.label_rangel->setText(rangeText(rangeLow));
        ui.label_rangeh->setText(rangeText(rangeHigh));
        nameAreas();
        retranslateMenus();
    }
    QMainWindow::changeEvent(event);
}

bool MainWindow::close()
{
    appSettings().setValue(QLatin1String(SettingsKeys::AutoConn),
                           ui.checkBox_auto->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    appSettings().setValue(QLatin1String(SettingsKeys::ComBaud), ui.comboBoxBaud->currentText());
    appSettings().setValue(QLatin1String(SettingsKeys::ComName), ui.comboBoxCom->currentText());
    appSettings().writeFile();
    ui.widget_tt->stopAndClose();
    const bool closed = QMainWindow::close();
    stopPolling();
    return closed;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Also the system's close: the poll thread must not outlive the window.
    stopPolling();
    QMainWindow::closeEvent(event);
}

void MainWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QMainWindow::mousePressEvent(event);
    windowPosAtPress = pos();
    cursorPosAtPress = globalPos(event);
    const QPoint local = event->pos();
#ifndef Q_OS_WIN
    // Edges resize through the window system, from the same band the Windows hit test uses.
    Qt::Edges edges;
    if (local.x() > 0 && local.x() < ResizeBand)
        edges |= Qt::LeftEdge;
    if (local.x() > width() - ResizeBand && local.x() < width())
        edges |= Qt::RightEdge;
    if (local.y() > 0 && local.y() < ResizeBand)
        edges |= Qt::TopEdge;
    if (local.y() > height() - ResizeBand && local.y() < height())
        edges |= Qt::BottomEdge;
    if (edges && !isMaximized() && windowHandle() && windowHandle()->startSystemResize(edges))
        return;
#endif
    isMoving = globalPos(event).y() < y() + m_titleBar->height();
}

void MainWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (isMoving && !isMaximized())
        move(windowPosAtPress + globalPos(event) - cursorPosAtPress);
    QMainWindow::mouseMoveEvent(event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        isMoving = false;
    QMainWindow::mouseReleaseEvent(event);
}

#ifdef Q_OS_WIN
bool MainWindow::nativeEvent(const QByteArray &eventType, void *message, long *result)
{
    MSG *msg = static_cast<MSG *>(message);
    if (msg->message != WM_NCHITTEST)
        return QMainWindow::nativeEvent(eventType, message, result);
    const int x = GET_X_LPARAM(msg->lParam) - frameGeometry().x();
    const int y = GET_Y_LPARAM(msg->lParam) - frameGeometry().y();
    const int w = width(), h = height();
    const bool left = 0 < x && x < ResizeBand, right = w - ResizeBand < x && x < w;
    const bool top = 0 < y && y < ResizeBand, bottom = h - ResizeBand < y && y < h;
    long hit = HTCAPTION;
    bool matched = false;
    const auto take = [&](bool test, long value) {
        if (test) {
            hit = value;
            matched = true;
        }
    };
    take(left, HTLEFT);
    take(right, HTRIGHT);
    take(top, HTTOP);
    take(bottom, HTBOTTOM);
    take(left && top, HTTOPLEFT);
    take(right && top, HTTOPRIGHT);
    take(left && bottom, HTBOTTOMLEFT);
    take(right && bottom, HTBOTTOMRIGHT);
    if (!matched)
        return false;
    *result = hit;
    return true;
}
#endif

void MainWindow::nameAreas()
{
    m_areaRealtime->setCaption(tr("实时值"));
    m_areaMaximum->setCaption(tr("最大值"));
    m_areaMinimum->setCaption(tr("最小值"));
    m_areaAmbient->setCaption(tr("环温"));
}

void MainWindow::resizeAreas()
{
    if (!m_itemRealtime)
        return;
    const QSize size(ui.listWidgetAreas->width(), ui.listWidgetAreas->height() / 4);
    for (auto [item, area] : {std::pair{m_itemRealtime, m_areaRealtime},
                              {m_itemAmbient, m_areaAmbient},
                              {m_itemMaximum, m_areaMaximum},
                              {m_itemMinimum, m_areaMinimum}}) {
        area->setFixedSize(size);
        item->setSizeHint(size);
    }
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    resizeAreas();
    qDebug() << "ui->listWidgetAreas->height()" << ui.listWidgetAreas->height();
    restyleCheckButtons();
}

void MainWindow::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != statusTimerId)
        return QMainWindow::timerEvent(event);
    if (nowMs() - lastResponseTime > InstrumentSilentAfterMs) {
        portLabel.setText(tr("仪器中断"));
        baudLabel.setText(tr(""));
        return;
    }
    portLabel.setText(tr("已选择:") + ui.comboBoxCom->currentText());
    baudLabel.setText(tr("波特率:") + ui.comboBoxBaud->currentText());
}

// ---- Chart -----------------------------------------------------------------------------------

bool MainWindow::refuseWhileRecording()
{
    if (!ui.widget_tt->isRecording())
        return false;
    Messages::show(nullptr, QMessageBox::Warning, tr("提示"), tr("正在记录数据，请先停止！"));
    return true;
}

void MainWindow::ClickImportData()
{
    if (refuseWhileRecording())
        return;
    const QString path = Messages::openFileName(tr("选择文件"), tr("文件(*.txt*)"));
    if (!path.isEmpty())
        ui.widget_tt->loadRecord(path);
}

void MainWindow::ClickChartSettings()
{
    if (refuseWhileRecording())
        return;
    ChartSettingsDialog dialog;
    if (Messages::exec(dialog) == QDialog::Accepted)
        ui.widget_tt->applyChartSettings();
}

void MainWindow::restyleCheckButtons()
{
    styleCheckButton(ui.navButton_amb, ui.widget_tt->ambientVisible);
    styleCheckButton(ui.navButton_mode, ui.widget_tt->viewMode == 1);
    styleCheckButton(ui.navButton_autofit, ui.widget_tt->autoFit);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // The check-box icon sits at the button's right end, so it follows the button's width, which
    // the layout settles only after the window's own resize.
    if (event->type() == QEvent::Resize
        && (watched == ui.navButton_amb || watched == ui.navButton_mode || watched == ui.navButton_autofit))
        restyleCheckButtons();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::styleCheckButton(NavButton *button, bool on)
{
    styleIconButton(button, QLatin1String(on ? CheckboxOn : CheckboxOff));
}

void MainWindow::on_navButton_startstop_clicked()
{
    if (!m_serial->isPortOpen()) {
        // Shown as it stands, in every language.
        Messages::information(this, QStringLiteral("提示"), QStringLiteral("设备未连接"));
        return;
    }
    ttwidget *chart = ui.widget_tt;
    chart->on_pushButton_startstop_clicked();
    if (chart->isRecording()) {
        ui.navButton_startstop->setText(tr("停止"));
        if (!chart->paused)
            ui.navButton_hc->setText(tr("暂停"));
    } else {
        ui.navButton_startstop->setText(tr("开始"));
    }
}

void MainWindow::on_navButton_hc_clicked()
{
    ui.widget_tt->on_pushButton_hc_clicked();
    ui.navButton_hc->setText(ui.widget_tt->paused ? tr("继续") : tr("暂停"));
}

void MainWindow::on_navButton_amb_clicked()
{
    ttwidget *chart = ui.widget_tt;
    const bool visible = !chart->ambientVisible;
    chart->ambientVisible = visible;
    styleCheckButton(ui.navButton_amb, visible);
    chart->setAmbientVisible(visible);
}

void MainWindow::on_navButton_mode_clicked()
{
    ui.widget_tt->on_pushButton_mode_clicked();
    styleCheckButton(ui.navButton_mode, ui.widget_tt->viewMode == 1);
}

void MainWindow::on_navButton_autofit_clicked()
{
    ui.widget_tt->autoFit = !ui.widget_tt->autoFit;
    styleCheckButton(ui.navButton_autofit, ui.widget_tt->autoFit);
}

void MainWindow::pauseForZoom()
{
    if (!ui.widget_tt->paused) {
        ui.widget_tt->paused = true;
        ui.navButton_hc->setText(tr("继续"));
    }
}

void MainWindow::on_navButton_horizontal_clicked()
{
    pauseForZoom();
    ui.widget_tt->on_pushButton_horizontal_clicked();
}

void MainWindow::on_navButton_vertical_clicked()
{
    pauseForZoom();
    ui.widget_tt->on_pushButton_vertical_clicked();
}

void MainWindow::on_navButton_export_clicked()
{
    ui.widget_tt->on_pushButton_export_clicked();
}
