// The parameter panel against the simulator's frame log: what is read after connecting, what
// each edit writes, and that values read are not written back.
#include "../support/windowfixture.h"
#include "chartwidget.h"
#include "clickcombobox.h"
#include "navbutton.h"
#include "relaysettingdialog.h"
#include "switchbutton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

QList<QByteArray> xorReads(std::initializer_list<int> codes)
{
    QList<QByteArray> frames;
    for (int code : codes)
        frames.append(QByteArray(2, char(code)));
    return frames;
}

} // namespace

class tst_Panel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(f.setUp()); }
    void init() { f.reset(); }
    void cleanup() { f.reset(); }

    void readsAfterConnecting();
    void crcInstrumentGetsCrcReads();
    void edits_data();
    void edits();
    void oneByteIdentityWritesWithoutEnable();
    void factoryResetAndModbusMessages_data();
    void factoryResetAndModbusMessages();
    void resetAnswerTexts_data();
    void resetAnswerTexts();
    void featureMaskRows();
    void relayDialogWrites_data();
    void relayDialogWrites();
    void badAnswersKeepThePanel();
    void honestStates();
    void editsGoToTheInstrumentGiven();

private:
    MainWindow *connectedWindow(InstrumentSimulator::Config config = {});
    QList<QByteArray> newRequestsAfter(const std::function<void()> &action);

    WindowFixture f;
};

MainWindow *tst_Panel::connectedWindow(InstrumentSimulator::Config config)
{
    if (!f.startSimulator(config))
        return nullptr;
    MainWindow *window = f.openWindow();
    if (!f.waitUntilPolling())
        return nullptr;
    // The follow-up reads of the feature mask end with the relays (or the hold threshold);
    // they take turns with the polls.
    if (!QTest::qWaitFor([this] { return f.requestsBesidesPolls().size() >= 20; }, 20000))
        return nullptr;
    qsizetype requests = 0;
    do {
        requests = f.requestsBesidesPolls().size();
        QTest::qWait(500);
    } while (f.requestsBesidesPolls().size() != requests);
    return window;
}

QList<QByteArray> tst_Panel::newRequestsAfter(const std::function<void()> &action)
{
    const int before = int(f.requestsBesidesPolls().size());
    action();
    // A request waits for the poll step under way.
    QTest::qWait(400);
    return f.requestsBesidesPolls().mid(before);
}

void tst_Panel::readsAfterConnecting()
{
    QElapsedTimer timer;
    timer.start();
    MainWindow *window = connectedWindow();
    QVERIFY(window);
    qInfo("panel filled %lld ms after the window was built", timer.elapsed());
    const QList<QByteArray> expected
            = xorReads({0x17, 0x40, 0x15, 0x16, 0x20, 0x42, 0x46, 0x44, 0x45, 0x12, 0x56, 0x57,
                        0x21, 0x22, 0x48, 0x47, 0x4D, 0x55, 0x54, 0x53, 0x68, 0x8B, 0x8D})
              // The high alarm arrives enabled; the check box passes that on, as a toggle does.
              + QList<QByteArray>{hex("D701D6")};
    QTRY_VERIFY_WITH_TIMEOUT(f.requestsBesidesPolls().size() >= expected.size(), 10000);
    QCOMPARE(f.requestsBesidesPolls(), expected);

    const MainWindowUi &ui = window->form();
    QCOMPARE(ui.doubleSpinBox_emi->value(), 0.95);
    QCOMPARE(ui.doubleSpinBox_halert->value(), 100.0);
    QCOMPARE(ui.comboBoxAnalogoutput->currentText(), QStringLiteral("4~20mA"));
    QVERIFY(ui.checkBox_halert->isChecked());
    QVERIFY(ui.switchButton_backlight->isChecked());
    QVERIFY(ui.radioButton_C->isChecked());
    QVERIFY(ui.radioButtonNormal->isChecked());
    QCOMPARE(window->instrument()->relay1(), quint16(2));
    QCOMPARE(window->instrument()->relay2(), quint16(1));
    QCOMPARE(window->instrument()->serialNumber(), 20261207);
    QVERIFY(ui.widget_emissivity->isEnabled());
    QVERIFY(!ui.widget_superholdvalue->isEnabled()); // hold mode Real
    // Nothing more is written once the panel shows what was read.
    QTest::qWait(500);
    QCOMPARE(f.requestsBesidesPolls().size(), expected.size());
}

void tst_Panel::crcInstrumentGetsCrcReads()
{
    InstrumentSimulator::Config config;
    config.framing = SimProtocol::Framing::Crc;
    MainWindow *window = connectedWindow(config);
    QVERIFY(window);
    QList<int> codes;
    for (const QByteArray &frame : f.requestsBesidesPolls())
        codes.append(uchar(frame.at(1)));
    // Hold times are read in both modes; the CRC mask has no relay or Modbus bits.
    QCOMPARE(codes.mid(0, 23),
             QList<int>({0x17, 0x40, 0x15, 0x16, 0x20, 0x42, 0x46, 0x44, 0x45, 0x12, 0x56, 0x57,
                         0x21, 0x22, 0x48, 0x47, 0x49, 0x4A, 0x4D, 0x55, 0x54, 0x53, 0x68}));
    QTRY_COMPARE_WITH_TIMEOUT(window->form().doubleSpinBox_emi->value(), 0.95, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(window->form().doubleSpinBox_holdtime->value(), 2.0, 5000);
}

void tst_Panel::edits_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<double>("value");
    QTest::addColumn<QList<QByteArray>>("written");
    const QByteArray enable = hex("FD01FC");
    QTest::newRow("emissivity 0.95") << "emi" << 0.95 << QList<QByteArray>{enable, hex("A003B615")};
    QTest::newRow("high alarm 25.3")
            << "halert" << 25.3 << QList<QByteArray>{enable, hex("A104E540")};
    QTest::newRow("high alarm held to the range's 1000")
            << "halert" << 10000.0 << QList<QByteArray>{enable, hex("A12AF873")};
    QTest::newRow("high alarm clamped, not wrapped")
            << "halert" << -400.0 << QList<QByteArray>{enable, hex("A101F454")};
    QTest::newRow("hold time while Real") << "holdtime" << 5.0 << QList<QByteArray>{};
    // The unit is read back: what is shown follows the answer.
    QTest::newRow("Fahrenheit") << "unitF" << 0.0
                                << QList<QByteArray>{enable, hex("D301D2"), hex("5353")};
    QTest::newRow("backlight off")
            << "backlight" << 0.0 << QList<QByteArray>{enable, hex("D400D4")};
    QTest::newRow("body temperature mode") << "body" << 0.0 << QList<QByteArray>{hex("E801E9")};
}

void tst_Panel::edits()
{
    QFETCH(QString, what);
    QFETCH(double, value);
    QFETCH(QList<QByteArray>, written);
    MainWindow *window = connectedWindow();
    QVERIFY(window);
    const MainWindowUi &ui = window->form();
    QSignalSpy unit(window, &MainWindow::unitRead);
    const QList<QByteArray> sent = newRequestsAfter([&] {
        if (what == QLatin1String("emi")) {
            ui.doubleSpinBox_emi->setValue(value);
            window->panel()->writeEmissivity();
        } else if (what == QLatin1String("halert")) {
            ui.doubleSpinBox_halert->setValue(value);
            window->panel()->writeHighAlarm();
        } else if (what == QLatin1String("holdtime")) {
            ui.doubleSpinBox_holdtime->setValue(value);
            window->panel()->writeHoldTime();
        } else if (what == QLatin1String("unitF")) {
            // On the indicator: the label "℉" is narrower than the button.
            QTest::mouseClick(ui.radioButton_F,
                              Qt::LeftButton,
                              {},
                              QPoint(6, ui.radioButton_F->height() / 2));
        } else if (what == QLatin1String("backlight")) {
            QTest::mouseClick(ui.switchButton_backlight, Qt::LeftButton);
        } else if (what == QLatin1String("body")) {
            QTest::mouseClick(ui.radioButtonBody, Qt::LeftButton);
        }
    });
    QCOMPARE(sent, written);
    if (what == QLatin1String("unitF")) {
        // Everything shown follows the answer to the read that comes after the write.
        QTRY_COMPARE_WITH_TIMEOUT(window->instrument()->unit(), 1, 5000);
        QCOMPARE(unit.last().first().toInt(), 1);
    }
}

void tst_Panel::oneByteIdentityWritesWithoutEnable()
{
    InstrumentSimulator::Config config;
    config.identity = {0x12, true};
    MainWindow *window = connectedWindow(config);
    QVERIFY(window);
    QCOMPARE(window->instrument()->model(), quint16(0x12));
    const QList<QByteArray> sent = newRequestsAfter([&] {
        window->form().doubleSpinBox_emi->setValue(0.9);
        window->panel()->writeEmissivity();
    });
    QCOMPARE(sent, QList<QByteArray>{hex("A0038427")});
}

void tst_Panel::factoryResetAndModbusMessages_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("message");
    QTest::newRow("reset accepted") << "reset"
                                    << "恢复出厂设置成功";
    QTest::newRow("reset unanswered") << "silent"
                                      << "恢复出厂设置失败";
    QTest::newRow("modbus on") << "modbusOn"
                               << "开启Modbus协议成功";
    QTest::newRow("modbus off") << "modbusOff"
                                << "关闭Modbus协议成功";
}

void tst_Panel::factoryResetAndModbusMessages()
{
    QFETCH(QString, action);
    QFETCH(QString, message);
    InstrumentSimulator::Config config;
    config.requireWriteEnable = true; // the reset goes through only after the enable
    MainWindow *window = connectedWindow(config);
    QVERIFY(window);
    f.sim->setRegister(0x47, 3);
    f.shown.clear();
    if (action == QLatin1String("silent")) {
        InstrumentSimulator::Faults silent;
        silent.silent = true;
        f.sim->setFaults(silent);
    }
    if (action.startsWith(QLatin1String("modbus")))
        window->panel()->writeModbus(action == QLatin1String("modbusOn"));
    else
        window->panel()->restoreFactorySettings();
    QTRY_VERIFY_WITH_TIMEOUT(!f.shown.isEmpty(), 10000);
    QCOMPARE(f.shown.first().title, QStringLiteral("提示"));
    QCOMPARE(f.shown.first().text, message);
    if (action == QLatin1String("reset"))
        QCOMPARE(f.sim->registerValue(0x47), 0u);
}

void tst_Panel::resetAnswerTexts_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("writeEnable");
    QTest::addColumn<QString>("message");
    QTest::newRow("non-zero") << hex("0101") << true << "恢复出厂设置成功";
    QTest::newRow("zero") << hex("0000") << true << "恢复出厂设置失败";
    QTest::newRow("zero from an older model") << hex("0000") << false << "恢复出厂设置成功";
}

void tst_Panel::resetAnswerTexts()
{
    QFETCH(QByteArray, answer);
    QFETCH(bool, writeEnable);
    QFETCH(QString, message);
    MainWindow *window = f.openWindowWithoutPorts();
    // A three-byte identity asks for the write enable, a one-byte one does not.
    window->instrument()->recvdata(0x17, writeEnable ? hex("010100") : hex("1212"), true);
    QCOMPARE(window->instrument()->writeEnableRequired(), writeEnable);
    window->instrument()->recvdata(0x64, answer, true);
    QCOMPARE(f.shown.size(), 1);
    QCOMPARE(f.shown.first().text, message);
}

void tst_Panel::featureMaskRows()
{
    MainWindow *window = f.openWindowWithoutPorts();
    const MainWindowUi &ui = window->form();
    window->instrument()->recvdata(0x40, hex("00000022 22"), true);
    QVERIFY(ui.widget_emissivity->isEnabled());
    QVERIFY(ui.widget_halert->isEnabled());
    QVERIFY(ui.widget_larert->isEnabled());
    for (QWidget *row : {ui.widget_transmit,
                         ui.widget_outputl,
                         ui.widget_outupper,
                         ui.widget_analogout,
                         ui.widget_avgtime,
                         ui.widget_holdmode,
                         ui.widget_laser,
                         ui.widget_backlight,
                         static_cast<QWidget *>(ui.groupBox_unit),
                         ui.widget_range_mode})
        QVERIFY2(!row->isEnabled(), qPrintable(row->objectName()));
    // A mask of the wrong length changes nothing.
    window->instrument()->recvdata(0x40, hex("FFFF"), true);
    QVERIFY(!ui.widget_transmit->isEnabled());
}

void tst_Panel::relayDialogWrites_data()
{
    QTest::addColumn<quint32>("featureMask");
    QTest::addColumn<QList<QByteArray>>("written");
    const QByteArray enable = hex("FD01FC");
    QTest::newRow("as read") << 0x144E01F6u
                             << QList<QByteArray>{enable, hex("8A000288"), enable, hex("8C00018D")};
    // Without the relay bit the relays are never read.
    QTest::newRow("not read") << 0x044E01F6u << QList<QByteArray>{};
}

void tst_Panel::relayDialogWrites()
{
    QFETCH(quint32, featureMask);
    QFETCH(QList<QByteArray>, written);
    InstrumentSimulator::Config config;
    config.featureMask = featureMask;
    MainWindow *window = connectedWindow(config);
    QVERIFY(window);
    Messages::setDialogRunner([](QDialog &dialog) {
        dialog.accept();
        return int(QDialog::Accepted);
    });
    const QList<QByteArray> sent = newRequestsAfter([&] { window->showRelaySettings(); });
    Messages::setDialogRunner({});
    QCOMPARE(sent, written);
}

void tst_Panel::badAnswersKeepThePanel()
{
    MainWindow *window = f.openWindowWithoutPorts();
    const MainWindowUi &ui = window->form();
    window->instrument()->recvdata(0x20, hex("03B6B5"), true);
    QCOMPARE(ui.doubleSpinBox_emi->value(), 0.95);
    window->instrument()->recvdata(0x20, hex("0384"), true);      // too short
    window->instrument()->recvdata(0x20, hex("038487 00"), true); // too long
    window->instrument()->recvdata(0x20, hex("0384 87"), false);  // invalid
    QCOMPARE(ui.doubleSpinBox_emi->value(), 0.95);
    // Out of the box's range: clamped by the widget.
    window->instrument()->recvdata(0xA1, hex("000000"), true);
    QCOMPARE(ui.doubleSpinBox_halert->value(), -50.0);
    window->instrument()->recvdata(0x47, hex("0707"), true); // no such hold mode
    QCOMPARE(ui.comboBoxHoldmode->currentIndex(), 0);
}

// From no instrument to one plugged in later, a recording and its end: what the port list
// offers, and whether the panel can act and says why not.
void tst_Panel::honestStates()
{
    using State = Instrument::ConnectionState;
    // The instrument's port does not exist yet.
    qputenv("TEVRANO_SERIAL_PORTS", QFile::encodeName(f.dir.filePath(QStringLiteral("ttyPYRO"))));
    MainWindow *window = f.openWindow();
    const MainWindowUi &ui = window->form();
    QTRY_COMPARE_WITH_TIMEOUT(window->instrument()->state(), State::NoInstrument, 20000);

    struct Expected
    {
        const char *step;
        int ports;
        bool rowsEnabled;
        bool panelEnabled;
        bool explained;
    };
    const auto check = [&](const Expected &e) {
        QVERIFY2(ui.comboBoxCom->count() == e.ports, e.step);
        QVERIFY2(ui.widget_emissivity->isEnabledTo(ui.widget_params) == e.rowsEnabled, e.step);
        QVERIFY2(ui.widget_params->isEnabled() == e.panelEnabled, e.step);
        QVERIFY2(ui.widget_params->toolTip().isEmpty() != e.explained, e.step);
    };
    check({"no instrument", 0, false, true, true});

    // Plugged in: found without anyone asking.
    QVERIFY(f.startSimulator());
    QTRY_COMPARE_WITH_TIMEOUT(window->instrument()->state(), State::Connected, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(ui.widget_emissivity->isEnabled(), 20000);
    check({"plugged in", 1, true, true, false});

    // One click starts, the next stops.
    ui.navButton_startstop->click();
    QVERIFY(window->chart()->isRecording());
    QCOMPARE(ui.navButton_startstop->text(), QStringLiteral("停止"));
    check({"recording", 1, true, false, true});
    ui.navButton_startstop->click();
    QCOMPARE(ui.navButton_startstop->text(), QStringLiteral("开始"));
    check({"stopped", 1, true, true, false});
}

QTEST_MAIN(tst_Panel)
// The panel shows and writes the instrument it was given last, never one given before.
void tst_Panel::editsGoToTheInstrumentGiven()
{
    MainWindow *window = connectedWindow();
    QVERIFY(window);
    InstrumentSimulator::Config config;
    config.linkPath = f.dir.filePath(QStringLiteral("ttyOTHER"));
    InstrumentSimulator otherSim(config);
    QVERIFY(otherSim.start());
    otherSim.setRegister(0x20, 800); // emissivity 0.800
    const std::optional<Instrument::Link> link = Instrument::probe(otherSim.devicePath(), 9600);
    QVERIFY(link);
    Instrument other;
    other.open(*link);
    QTRY_COMPARE_WITH_TIMEOUT(other.parameter(Instrument::Parameter::Emissivity), 0.8, 20000);

    ParameterPanel *panel = window->panel();
    QDoubleSpinBox *box = window->form().doubleSpinBox_emi;
    const auto writeEmissivity = [&](InstrumentSimulator &to, InstrumentSimulator &notTo) {
        const int before = int(WindowFixture::requestsBesidesPolls(to).size());
        const int elsewhere = int(WindowFixture::requestsBesidesPolls(notTo).size());
        box->setValue(0.9);
        panel->writeEmissivity();
        QTRY_VERIFY_WITH_TIMEOUT(
                WindowFixture::requestsBesidesPolls(to).mid(before).contains(hex("A0038427")),
                5000);
        QTest::qWait(400);
        QCOMPARE(WindowFixture::requestsBesidesPolls(notTo).size(), elsewhere);
    };
    panel->setInstrument(&other);
    QCOMPARE(box->value(), 0.8);
    QVERIFY(window->form().widget_emissivity->isEnabled());
    writeEmissivity(otherSim, *f.sim);
    panel->setInstrument(window->instrument());
    QCOMPARE(box->value(), 0.95);
    writeEmissivity(*f.sim, otherSim);
    other.close();
}

#include "tst_panel.moc"
