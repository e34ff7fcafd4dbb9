// The main window end to end, offscreen, against the simulated instrument on a real
// pseudo-terminal: start-up search, polling, tiles, status, serial errors.
#include "../support/windowfixture.h"
#include "navbutton.h"
#include "seriallink.h"
#include "temperaturetile.h"

#include "chartwidget.h"
#include "clickcombobox.h"
#include "instrumentboard.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QInputDialog>
#include <QLabel>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

using State = Instrument::ConnectionState;

int countFrames(const InstrumentSimulator &sim, const QByteArray &frame)
{
    return int(sim.receivedFrames().count(frame));
}

QString tileText(TemperatureTile *item)
{
    return item->valueLabel()->text();
}

} // namespace

class tst_MainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startupSearch_data();
    void startupSearch();
    void noPortsFound();
    void connectButtonFailures();
    void tiles();
    void unplugAndReplugDuringRecording();
    void closedByTheUserStaysClosed();
    void usbAdapterReturnsUnderAnotherName();
    void closeStoresThePortAndStopsPolling();
    void serialErrorsNeverStopSampling();
    void recvdataSurvivesRandomAnswers();
    void severalInstruments();
    void eightInstrumentsScroll();

private:
    WindowFixture f;
};

void tst_MainWindow::initTestCase()
{
    QVERIFY(f.setUp());
}

void tst_MainWindow::init()
{
    f.reset();
}

void tst_MainWindow::cleanup()
{
    f.reset();
}

void tst_MainWindow::startupSearch_data()
{
    QTest::addColumn<bool>("crc");
    QTest::addColumn<int>("baud");
    QTest::newRow("xor at 9600") << false << 9600;
    QTest::newRow("xor answering only at 115200") << false << 115200;
    QTest::newRow("crc only") << true << 9600;
}

void tst_MainWindow::startupSearch()
{
    QFETCH(bool, crc);
    QFETCH(int, baud);
    InstrumentSimulator::Config config;
    config.framing = crc ? SimProtocol::Framing::Crc : SimProtocol::Framing::Xor;
    config.baud = baud;
    QVERIFY(f.startSimulator(config));
    MainWindow *window = f.openWindow();
    QVERIFY(f.waitUntilPolling());
    QCOMPARE(window->form().comboBoxBaud->currentText(), QString::number(baud));
    QCOMPARE(window->form().pushButton_com->text(), QStringLiteral("关闭设备"));
    QVERIFY(!window->form().widget_com->isEnabled());
    // The identity answer started the parameter reads: the range arrived.
    QTRY_COMPARE_WITH_TIMEOUT(window->instrument()->rangeHigh(), 1000.0f, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(tileText(window->tiles()->realtime()), QStringLiteral("1.0℃"), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(tileText(window->tiles()->ambient()), QStringLiteral("23.5℃"), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(
            window->connection()->portStatus()->text().startsWith(QStringLiteral("已选择:")), 5000);
    // No wake frame goes to an instrument found in the CRC framing: after its first request
    // (the probe's) it sees no zero filler.
    bool requested = false;
    int zerosAfterFirstRequest = 0;
    for (const auto &entry : f.sim->log()) {
        requested |= entry.direction == InstrumentSimulator::Direction::Received;
        if (requested && entry.direction == InstrumentSimulator::Direction::Ignored)
            zerosAfterFirstRequest += int(entry.bytes.count('\0'));
    }
    if (crc)
        QCOMPARE(zerosAfterFirstRequest, 0);
    QVERIFY(f.shown.isEmpty());
}

void tst_MainWindow::noPortsFound()
{
    MainWindow *window = f.openWindowWithoutPorts();
    QCOMPARE(window->form().comboBoxCom->count(), 0);
    QCOMPARE(window->form().comboBoxBaud->count(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(
            window->connection()->portStatus()->text(), QStringLiteral("找不到合适COM"), 5000);
    // Nothing was opened, so nothing is "not responding".
    QTest::qWait(1500);
    QCOMPARE(window->connection()->portStatus()->text(), QStringLiteral("找不到合适COM"));
    QCOMPARE(window->instrument()->state(), Instrument::ConnectionState::NoInstrument);
}

void tst_MainWindow::connectButtonFailures()
{
    InstrumentSimulator::Config config;
    QVERIFY(f.startSimulator(config));
    InstrumentSimulator::Faults silent;
    silent.silent = true;
    f.sim->setFaults(silent);
    MainWindow *window = f.openWindow();
    QTRY_COMPARE_WITH_TIMEOUT(
            window->connection()->portStatus()->text(), QStringLiteral("找不到合适COM"), 10000);
    window->connection()->openOrClose();
    // The search runs on a thread of its own.
    QTRY_COMPARE_WITH_TIMEOUT(f.shown.size(), 1, 10000);
    QCOMPARE(f.shown.first().icon, QMessageBox::Critical);
    QCOMPARE(f.shown.first().title, QStringLiteral("错误"));
    QCOMPARE(f.shown.first().text, QStringLiteral("无法连接设备"));
    QVERIFY(!window->instrument()->isOpen());

    // The instrument speaks again: the button connects by hand.
    f.sim->setFaults({});
    window->connection()->openOrClose();
    QVERIFY(f.waitUntilPolling());
    QCOMPARE(f.shown.size(), 1);
    // And disconnects: parameter rows off, the poll stops.
    window->connection()->openOrClose();
    QTRY_COMPARE_WITH_TIMEOUT(
            window->form().pushButton_com->text(), QStringLiteral("打开设备"), 5000);
    QVERIFY(!window->form().widget_emissivity->isEnabled());
    QVERIFY(window->form().widget_com->isEnabled());
}

void tst_MainWindow::tiles()
{
    MainWindow *window = f.openWindowWithoutPorts();
    QTRY_COMPARE_WITH_TIMEOUT(
            window->connection()->portStatus()->text(), QStringLiteral("找不到合适COM"), 5000);
    window->instrument()->recvdata(0x15, QByteArray::fromHex("01F4F5"), true);
    window->instrument()->recvdata(0x16, QByteArray::fromHex("2AF8D2"), true);
    QCOMPARE(window->instrument()->rangeLow(), -50.0f);
    QCOMPARE(window->instrument()->rangeHigh(), 1000.0f);
    QCOMPARE(window->form().label_rangel->text(), QStringLiteral("-50℃"));
    // What the chart's live trend takes.
    QSignalSpy chart(window->instrument(), &Instrument::objectTemperature);

    // 03 F2 F1 in Celsius.
    window->instrument()->recvdata(0x01, QByteArray::fromHex("03F2F1"), true);
    QCOMPARE(tileText(window->tiles()->realtime()), QStringLiteral("1.0℃"));
    QVERIFY(!chart.isEmpty());
    QCOMPARE(chart.last().first().toDouble(), 1.0);

    // Above the range: dropped, though the instrument did answer. Equal to the upper end: shown.
    const qint64 answeredBefore = window->instrument()->lastResponseTime();
    QTest::qWait(20);
    window->instrument()->recvdata(0x01, QByteArray::fromHex("2AF9D3"), true); // 1000.1
    QCOMPARE(tileText(window->tiles()->realtime()), QStringLiteral("1.0℃"));
    QVERIFY(window->instrument()->lastResponseTime() > answeredBefore);
    window->instrument()->recvdata(0x01, QByteArray::fromHex("2AF8D2"), true); // 1000.0
    QCOMPARE(tileText(window->tiles()->realtime()), QStringLiteral("1000.0℃"));
    QCOMPARE(tileText(window->tiles()->maximum()), QStringLiteral("1000.0℃"));

    // The maximum switched off shows "---" and starts afresh.
    QTest::mouseClick(window->tiles()->maximum()->checkBox(), Qt::LeftButton);
    QVERIFY(!window->tiles()->maximum()->displayEnabled);
    window->instrument()->recvdata(0x01, QByteArray::fromHex("03F2F1"), true);
    QCOMPARE(tileText(window->tiles()->maximum()), QStringLiteral("---"));
    QCOMPARE(window->tiles()->highest(2), -1000.0f);

    // Fahrenheit: the tile converts, and so does what the chart gets.
    window->instrument()->recvdata(0x53, QByteArray::fromHex("0101"), true);
    QCOMPARE(window->instrument()->unit(), 1);
    window->instrument()->recvdata(0x01, QByteArray::fromHex("03F2F1"), true);
    QCOMPARE(tileText(window->tiles()->realtime()), QStringLiteral("33.8℉"));
    QCOMPARE(chart.last().first().toDouble(), 33.8);

    // Line noise that passes the checksum is not a reading.
    const qint64 before = window->instrument()->lastResponseTime();
    QTest::qWait(20);
    window->instrument()->recvdata(0x01, QByteArray(3, '\0'), true);
    QCOMPARE(window->instrument()->lastResponseTime(), before);
}

void tst_MainWindow::unplugAndReplugDuringRecording()
{
    QVERIFY(f.startSimulator());
    MainWindow *window = f.openWindow();
    QVERIFY(f.waitUntilPolling());
    Instrument *instrument = window->instrument();
    ChartWidget *chart = window->chart();
    // Readings are shown once the range is known.
    QTRY_COMPARE_WITH_TIMEOUT(tileText(window->tiles()->realtime()), QStringLiteral("1.0℃"), 10000);
    window->strip()->startStop();
    QVERIFY(chart->isRecording());
    QTRY_VERIFY_WITH_TIMEOUT(chart->samples().size() > 5, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(std::isfinite(chart->samples().snapshot().temperatures.constLast()),
                             5000);

    f.sim->unplug();
    QTRY_COMPARE_WITH_TIMEOUT(instrument->state(), State::Lost, 2000);
    QCOMPARE(window->connection()->portStatus()->text(),
             QStringLiteral("仪器已断开，等待重新连接"));
    QCOMPARE(tileText(window->tiles()->realtime()), QStringLiteral("---"));
    QCOMPARE(tileText(window->tiles()->ambient()), QStringLiteral("---"));
    const MainWindowUi &ui = window->form();
    for (NavButton *button : {ui.navButton_startstop, ui.navButton_hc, ui.navButton_mode})
        QVERIFY2(button->isEnabled(), qPrintable(button->objectName()));
    QVERIFY(chart->isRecording());

    // Once the last reading is older than max(1 s, 2 x the interval), samples are gaps.
    QTest::qWait(qMax(1000, 2 * chart->recordInterval()) + 1000);
    const RecordSeries inGap = chart->samples().snapshot();
    QVERIFY(std::isnan(inGap.temperatures.constLast()));
    QVERIFY(std::isnan(inGap.ambients.constLast()));

    // Pause and the view mode work; a save in the gap writes empty fields there.
    window->strip()->togglePause();
    QVERIFY(chart->isPaused());
    window->strip()->togglePause();
    window->strip()->toggleViewMode();
    QCOMPARE(chart->viewMode(), 1);
    const QString saved = f.dir.filePath(QStringLiteral("gap.txt"));
    Messages::setFileChooser(
            [&](Messages::FileAccess, const QString &, const QString &) { return saved; });
    window->strip()->saveRecord();
    Messages::setFileChooser({});
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY(QRegularExpression(QStringLiteral("\n\\d+\t[0-9.]+\t\t\t"))
                    .match(QString::fromLatin1(text))
                    .hasMatch());
    RecordImport back;
    QVERIFY(loadRecordFile(saved, back));
    QVERIFY(std::isnan(back.series.temperatures.constLast()));
    QVERIFY(std::isfinite(back.series.temperatures.constFirst()));

    // The instrument returns: connected again without a click, identity and parameters read
    // again, and the same recording goes on with readings.
    const int identityReads = countFrames(*f.sim, QByteArray::fromHex("1717"));
    const int serialNumberReads = countFrames(*f.sim, QByteArray::fromHex("1212"));
    QVERIFY(f.sim->replug());
    QTRY_COMPARE_WITH_TIMEOUT(instrument->state(), State::Connected, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(countFrames(*f.sim, QByteArray::fromHex("1717")) > identityReads,
                             5000);
    QTRY_VERIFY_WITH_TIMEOUT(countFrames(*f.sim, QByteArray::fromHex("1212")) > serialNumberReads,
                             5000);
    const int beforeReturn = inGap.durations.size();
    QTRY_VERIFY_WITH_TIMEOUT(std::isfinite(chart->samples().snapshot().temperatures.constLast()),
                             5000);
    QVERIFY(chart->samples().size() > beforeReturn);
    QVERIFY(chart->isRecording());
    QTRY_VERIFY_WITH_TIMEOUT(tileText(window->tiles()->realtime()) != QStringLiteral("---"), 5000);
    QVERIFY(chart->findChild<NavButton *>(QStringLiteral("pushButton_startstop"))->isEnabled());
    QCOMPARE(f.shown.size(), 1); // the save's report
    QCOMPARE(f.shown.first().title, QStringLiteral("导出数据成功"));
    window->strip()->startStop();
    QVERIFY(!chart->isRecording());
}

void tst_MainWindow::closedByTheUserStaysClosed()
{
    QVERIFY(f.startSimulator());
    MainWindow *window = f.openWindow();
    QVERIFY(f.waitUntilPolling());
    window->connection()->openOrClose();
    QTRY_COMPARE_WITH_TIMEOUT(window->instrument()->state(), State::Closed, 2000);
    QTRY_VERIFY_WITH_TIMEOUT(!window->instrument()->isOpen(), 2000);
    QCOMPARE(window->connection()->portStatus()->text(), QStringLiteral("设备已关闭"));
    QCOMPARE(tileText(window->tiles()->realtime()), QStringLiteral("---"));
    QCOMPARE(window->form().pushButton_com->text(), QStringLiteral("打开设备"));
    // The port is there all along, and stays closed.
    const int requests = int(f.sim->receivedFrames().size());
    QTest::qWait(2500);
    QCOMPARE(window->instrument()->state(), State::Closed);
    QCOMPARE(int(f.sim->receivedFrames().size()), requests);
}

void tst_MainWindow::usbAdapterReturnsUnderAnotherName()
{
    QVERIFY(f.startSimulator());
    const QString first = f.sim->devicePath();
    qputenv("TEVRANO_SERIAL_PORTS",
            QFile::encodeName(first + QStringLiteral("|USB serial|A10K7Q|0403|6001")));
    MainWindow *window = f.openWindow();
    QVERIFY(f.waitUntilPolling());
    f.sim->unplug();
    QTRY_COMPARE_WITH_TIMEOUT(window->instrument()->state(), State::Lost, 2000);
    // The adapter comes back under a new name, with an unrelated adapter at the old name; it
    // is found by its serial number.
    const QString second = f.dir.filePath(QStringLiteral("ttyUSB9"));
    qputenv("TEVRANO_SERIAL_PORTS",
            QFile::encodeName(first + QStringLiteral("|Other|B22|0403|6001:") + second
                              + QStringLiteral("|USB serial|A10K7Q|0403|6001")));
    QVERIFY(f.sim->replug());
    QVERIFY(QFile::rename(first, second));
    QTRY_COMPARE_WITH_TIMEOUT(window->instrument()->state(), State::Connected, 5000);
    QCOMPARE(window->instrument()->link().portName, second);
    QCOMPARE(window->form().comboBoxCom->currentText(), second);
    const qint64 answered = window->instrument()->lastResponseTime();
    QTRY_VERIFY_WITH_TIMEOUT(window->instrument()->lastResponseTime() > answered, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(
            window->connection()->portStatus()->text() == QStringLiteral("已选择:") + second, 5000);
}

void tst_MainWindow::closeStoresThePortAndStopsPolling()
{
    QVERIFY(f.startSimulator());
    MainWindow *window = f.openWindow();
    QVERIFY(f.waitUntilPolling());
    QVERIFY(window->close());
    QVERIFY(!window->isVisible());
    // Nothing polls once the window is closed (the simulator may still be logging the last one).
    QTest::qWait(200);
    const int requests = int(f.sim->receivedFrames().size());
    QTest::qWait(300);
    QCOMPARE(int(f.sim->receivedFrames().size()), requests);
    Settings reread(appSettings().settingsDir());
    QVERIFY(reread.readFile());
    QCOMPARE(reread.value(QStringLiteral("AutoConn")), QStringLiteral("1"));
    QCOMPARE(reread.value(QStringLiteral("ComName")), f.sim->devicePath());
    QCOMPARE(reread.value(QStringLiteral("ComBaud")), QStringLiteral("9600"));
}

void tst_MainWindow::serialErrorsNeverStopSampling()
{
    MainWindow *window = f.openWindowWithoutPorts();
    QSignalSpy stops(&window->chart()->session(), &RecordingSession::finished);
    Instrument *instrument = window->instrument();
    for (int i = 0; i < 20; ++i)
        instrument->handleSerialError(i % 2 ? QSerialPort::TimeoutError
                                            : QSerialPort::UnknownError);
    instrument->handleSerialError(QSerialPort::WriteError);
    // Counted, but a recording goes on with gaps until the answers return.
    QCOMPARE(instrument->errorCount(), 20);
    QCOMPARE(stops.count(), 0);
}

void tst_MainWindow::recvdataSurvivesRandomAnswers()
{
    MainWindow *window = f.openWindowWithoutPorts();
    // Without a port every read the dispatcher asks for returns at once.
    QRandomGenerator random(2024);
    for (int round = 0; round < 100000; ++round) {
        QByteArray data(int(random.bounded(12)), '\0');
        for (char &c : data)
            c = char(random.bounded(256));
        window->instrument()->serial()->setFraming(int(random.bounded(2)));
        window->instrument()->recvdata(uchar(random.bounded(256)), data, random.bounded(4) != 0);
    }
    QVERIFY(window->instrument()->unit() >= 0);
}

QTEST_MAIN(tst_MainWindow)
// Two instruments: a row each, the panel on the one chosen, one unplugged while the other goes
// on, and a label kept under the serial number.
void tst_MainWindow::severalInstruments()
{
    constexpr uchar SerialNumberCode = 0x12;
    QVERIFY(f.startSimulator());
    f.sim->setRegister(SerialNumberCode, 1111);
    InstrumentSimulator::Config config;
    config.linkPath = f.dir.filePath(QStringLiteral("ttyOTHER"));
    InstrumentSimulator other(config);
    QVERIFY(other.start());
    other.setRegister(SerialNumberCode, 2222);
    other.setObjectTemperature(2.0);
    qputenv("TEVRANO_SERIAL_PORTS",
            QFile::encodeName(f.dir.filePath(QStringLiteral("ttyPYRO")) + QLatin1Char(':')
                              + config.linkPath));
    MainWindow *window = f.openWindow();
    InstrumentSet *set = window->instruments();
    QTRY_COMPARE_WITH_TIMEOUT(set->serialNumbers().size(), 2, 20000);
    Instrument *first = set->instrument(QStringLiteral("1111"));
    Instrument *second = set->instrument(QStringLiteral("2222"));
    QVERIFY(first && second);
    QCOMPARE(window->instrument(), set->instrument(set->serialNumbers().first()));
    auto *selector = window->findChild<QComboBox *>(QStringLiteral("instrumentSelector"));
    QTRY_VERIFY_WITH_TIMEOUT(selector->isVisible(), 5000);
    QCOMPARE(selector->count(), 2);
    // A row added to the shown column is shown by a queued call.
    const auto shownRows = [window] {
        QList<TileRow *> rows;
        for (TileRow *row : window->form().tileColumn->findChildren<TileRow *>())
            if (row->isVisible())
                rows.append(row);
        return rows;
    };
    QTRY_COMPARE_WITH_TIMEOUT(shownRows().size(), 2, 5000);
    const QList<TileRow *> rows = shownRows();
    TileRow *secondRow
            = rows.constFirst()->instrument() == second ? rows.constFirst() : rows.constLast();
    QVERIFY(secondRow->header()->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(tileText(secondRow->realtime()), QStringLiteral("2.0℃"), 10000);

    // Clicking its row chooses it: the panel writes to it alone.
    QTest::mouseClick(secondRow->header(), Qt::LeftButton);
    QCOMPARE(window->instrument(), second);
    QCOMPARE(window->panel()->instrument(), second);
    QCOMPARE(selector->currentData().toString(), QStringLiteral("2222"));
    QTRY_VERIFY_WITH_TIMEOUT(window->form().widget_emissivity->isEnabled(), 10000);
    const int firstBefore = int(f.requestsBesidesPolls().size());
    window->form().doubleSpinBox_emi->setValue(0.9);
    window->panel()->writeEmissivity();
    QTRY_VERIFY_WITH_TIMEOUT(
            WindowFixture::requestsBesidesPolls(other).contains(QByteArray::fromHex("A0038427")),
            5000);
    QTest::qWait(400);
    QVERIFY(!f.requestsBesidesPolls().mid(firstBefore).contains(QByteArray::fromHex("A0038427")));

    // Unplugged, it shows lost; the other's tiles go on. It comes back as the same member.
    other.unplug();
    QTRY_COMPARE_WITH_TIMEOUT(second->state(), State::Lost, 5000);
    QVERIFY(secondRow->header()->toolTip().contains(QStringLiteral("仪器已断开")));
    QCOMPARE(tileText(secondRow->realtime()), QStringLiteral("---"));
    QCOMPARE(window->connection()->portStatus()->text(),
             QStringLiteral("仪器已断开，等待重新连接"));
    f.sim->setObjectTemperature(3.0);
    TileRow *firstRow = secondRow == rows.constFirst() ? rows.constLast() : rows.constFirst();
    QTRY_COMPARE_WITH_TIMEOUT(tileText(firstRow->realtime()), QStringLiteral("3.0℃"), 10000);
    QVERIFY(other.replug());
    QTRY_COMPARE_WITH_TIMEOUT(second->state(), State::Connected, 10000);
    QCOMPARE(set->instrument(QStringLiteral("2222")), second);
    QTRY_COMPARE_WITH_TIMEOUT(tileText(secondRow->realtime()), QStringLiteral("2.0℃"), 10000);

    // A label given on the header is kept in config.xml under the serial number.
    Messages::setDialogRunner([](QDialog &dialog) {
        static_cast<QInputDialog &>(dialog).setTextValue(QStringLiteral(" Zone 2 "));
        return int(QDialog::Accepted);
    });
    QTest::mouseDClick(secondRow->header(), Qt::LeftButton);
    QCOMPARE(set->label(QStringLiteral("2222")), QStringLiteral("Zone 2"));
    QVERIFY(secondRow->header()->text().startsWith(QStringLiteral("Zone 2")));
    QCOMPARE(selector->itemText(selector->findData(QStringLiteral("2222"))),
             QStringLiteral("Zone 2"));
    QFile stored(appSettings().settingsDir() + QStringLiteral("/config.xml"));
    QVERIFY(stored.open(QIODevice::ReadOnly));
    const QByteArray xml = stored.readAll();
    QVERIFY(xml.contains(instrumentLabelKey(QStringLiteral("2222")).toUtf8()));
    QVERIFY(xml.contains("Zone 2"));

    // The first instrument found lost, a recording starts on the other.
    const QString firstFound = set->serialNumbers().first();
    (firstFound == QLatin1String("1111") ? *f.sim : other).unplug();
    QTRY_COMPARE_WITH_TIMEOUT(set->instrument(firstFound)->state(), State::Lost, 5000);
    window->strip()->startStop();
    QVERIFY(window->chart()->isRecording());
    window->strip()->startStop();
}

#include "tst_mainwindow.moc"

// Eight members (stand-ins that never open) announced by the set: two rows are shown whole, more
// keep their height and scroll; the selection moves on when its instrument leaves.
void tst_MainWindow::eightInstrumentsScroll()
{
    MainWindow *window = f.openWindowWithoutPorts();
    QTRY_COMPARE_WITH_TIMEOUT(
            window->connection()->portStatus()->text(), QStringLiteral("找不到合适COM"), 5000);
    QScrollArea *scroll = window->form().tileScroll;
    QVERIFY(!scroll->verticalScrollBar()->isVisible());
    QCOMPARE(window->tiles()->height(), scroll->viewport()->height());

    InstrumentSet *set = window->instruments();
    QSignalSpy firstJoined(window->findChild<InstrumentBoard *>(), &InstrumentBoard::firstJoined);
    QList<Instrument *> members;
    const auto add = [&](int count) {
        for (int i = 0; i < count; ++i) {
            members.append(new Instrument(set));
            emit set->instrumentAdded(QString::number(1000 + members.size() - 1),
                                      members.constLast());
        }
    };
    const auto rowsWhole = [window] {
        for (TileRow *row : window->form().tileColumn->findChildren<TileRow *>())
            if (row->isVisibleTo(window) && row->height() < row->minimumSizeHint().height())
                return false;
        return true;
    };
    add(2);
    QTRY_VERIFY_WITH_TIMEOUT(rowsWhole(), 5000);
    QVERIFY(!scroll->verticalScrollBar()->isVisible());
    const int windowHeight = window->height();
    // Rows go by name, whoever joined first. A header longer than the column is cut short: once
    // it widened the column past the view, the tiles' fonts grew with it and the rows ran off the
    // screen.
    set->setLabel(QStringLiteral("1000"),
                  QStringLiteral("Zone 10 ") + QString(80, QLatin1Char('W')));
    set->setLabel(QStringLiteral("1001"), QStringLiteral("Zone 9"));
    auto *selector = window->findChild<QComboBox *>(QStringLiteral("instrumentSelector"));
    QCOMPARE(selector->itemData(0).toString(), QStringLiteral("1001"));
    const QLayout *column = window->form().tileColumn->layout();
    QCOMPARE(static_cast<TileRow *>(column->itemAt(1)->widget())->instrument(), members.at(1));
    QTRY_VERIFY_WITH_TIMEOUT(rowsWhole(), 5000);
    QCOMPARE(window->form().tileColumn->width(), scroll->viewport()->width());
    QCOMPARE(window->height(), windowHeight);
    for (const char *serialNumber : {"1000", "1001"})
        set->setLabel(QLatin1String(serialNumber), QString());
    add(InstrumentSet::MaxInstruments - 2);
    QCOMPARE(firstJoined.count(), 1);
    QCOMPARE(window->instrument(), members.constFirst());
    QTRY_VERIFY_WITH_TIMEOUT(scroll->verticalScrollBar()->isVisible(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(rowsWhole(), 5000);
    QCOMPARE(window->height(), windowHeight);
    // Chosen, the last one's row scrolls into sight.
    window->select(members.constLast());
    QTRY_VERIFY(!window->tiles()->visibleRegion().isEmpty());

    // The selected one leaves: the first remaining is selected; another leaving changes nothing.
    window->select(members.at(3));
    emit set->instrumentRemoved(QStringLiteral("1003"));
    QCOMPARE(window->instrument(), members.constFirst());
    QCOMPARE(window->panel()->instrument(), members.constFirst());
    emit set->instrumentRemoved(QStringLiteral("1005"));
    QCOMPARE(window->instrument(), members.constFirst());
    for (int i : {0, 1, 2, 4, 6, 7})
        emit set->instrumentRemoved(QString::number(1000 + i));
    QVERIFY(window->tiles()->isVisibleTo(window));
    QCOMPARE(window->instrument()->state(), State::NoInstrument);
    QCOMPARE(firstJoined.count(), 1);
}
