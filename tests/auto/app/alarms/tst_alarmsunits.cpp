// The window's alarms (tile colour, status bar, threshold lines, beeps) and unit switches: what is
// shown follows the unit the instrument confirms, everywhere at once.
#include "../support/answers.h"
#include "../support/windowfixture.h"
#include "alarmbeeper.h"
#include "chartwidget.h"
#include "deviceinfodialog.h"
#include "recordfile.h"
#include "temperaturetile.h"
#include "thresholdlines.h"

#include <QAction>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QRadioButton>
#include <QtTest>

#include <qcustomplot.h>

#include <cmath>

namespace {

QByteArray byteAnswer(int value)
{
    return QByteArray(2, char(value));
}

QString tileText(TemperatureTile *item)
{
    return item->valueLabel()->text();
}

const QColor OwnColour(255, 128, 0);

} // namespace

class tst_AlarmsUnits : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(f.setUp()); }
    void init() { f.reset(); }
    void cleanup()
    {
        AlarmBeeper::setBeepHook({});
        f.reset();
    }

    void alarms_data();
    void alarms();
    void unitWithoutInstrument_data();
    void unitWithoutInstrument();
    void thresholdEditAndUnitSwitches();

private:
    WindowFixture f;
};

// High threshold 35, low 30 (both Celsius); a row feeds object readings, NaN for line noise.
void tst_AlarmsUnits::alarms_data()
{
    QTest::addColumn<bool>("highEnabled");
    QTest::addColumn<bool>("lowEnabled");
    QTest::addColumn<QVector<double>>("readings");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QString>("status");
    const double noise = std::nan("");
    const QColor red = ThresholdLines::HighColor, blue = ThresholdLines::LowColor;
    QTest::newRow("above") << true << true << QVector<double>{42.8} << red << "高温报警";
    QTest::newRow("below") << true << true << QVector<double>{28.8} << blue << "低温报警";
    QTest::newRow("inside") << true << true << QVector<double>{32.0} << OwnColour << "";
    QTest::newRow("at both thresholds")
            << true << true << QVector<double>{35.0, 30.0} << OwnColour << "";
    QTest::newRow("high hysteresis holds")
            << true << true << QVector<double>{35.1, 34.6} << red << "高温报警";
    QTest::newRow("high ends 0.5 below")
            << true << true << QVector<double>{35.1, 34.5} << OwnColour << "";
    QTest::newRow("low hysteresis holds")
            << true << true << QVector<double>{29.9, 30.4} << blue << "低温报警";
    QTest::newRow("disabled") << false << false << QVector<double>{42.8, 28.8} << OwnColour << "";
    QTest::newRow("only low enabled") << false << true << QVector<double>{42.8} << OwnColour << "";
    QTest::newRow("noise keeps the alarm")
            << true << true << QVector<double>{42.8, noise} << red << "高温报警";
    QTest::newRow("noise starts none")
            << true << true << QVector<double>{32.0, noise} << OwnColour << "";
}

void tst_AlarmsUnits::alarms()
{
    QFETCH(bool, highEnabled);
    QFETCH(bool, lowEnabled);
    QFETCH(QVector<double>, readings);
    QFETCH(QColor, colour);
    QFETCH(QString, status);
    int beeps = 0;
    AlarmBeeper::setBeepHook([&] { ++beeps; });
    MainWindow *window = f.openWindowWithoutPorts();
    // The start-up search and the tiles' colours come just after the window.
    QTRY_COMPARE_WITH_TIMEOUT(
            window->connection()->portStatus()->text(), QStringLiteral("找不到合适COM"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(window->tiles()->realtime()->shownColor(), OwnColour, 5000);
    window->alarmSoundAction()->setChecked(true);
    QCOMPARE(appSettings().value(QLatin1String(SettingsKeys::AlarmSound)), QStringLiteral("1"));
    Instrument *instrument = window->instrument();
    instrument->recvdata(0x15, temperatureAnswer(-50.0), true);
    instrument->recvdata(0x16, temperatureAnswer(1000.0), true);
    instrument->recvdata(0x21, temperatureAnswer(35.0), true);
    instrument->recvdata(0x22, temperatureAnswer(30.0), true);
    instrument->recvdata(0x57, byteAnswer(highEnabled), true);
    instrument->recvdata(0x56, byteAnswer(lowEnabled), true);

    ThresholdLines *lines = window->thresholdLines();
    QCOMPARE(lines->highLine()->visible(), highEnabled);
    QCOMPARE(lines->lowLine()->visible(), lowEnabled);
    if (highEnabled) {
        QCOMPARE(lines->highLine()->point1->coords().y(), 35.0);
        QCOMPARE(lines->highLabel()->text(), QStringLiteral("35.0℃"));
        QCOMPARE(lines->highLine()->pen().style(), Qt::DashLine);
    }
    if (lowEnabled)
        QCOMPARE(lines->lowLabel()->text(), QStringLiteral("30.0℃"));

    for (double reading : readings)
        instrument->recvdata(
                0x01, std::isnan(reading) ? QByteArray(3, '\0') : temperatureAnswer(reading), true);
    QCOMPARE(window->tiles()->realtime()->shownColor(), colour);
    QCOMPARE(window->connection()->alarmStatus()->text(), status);
    // The first beep comes at once, the next about a second later.
    QCOMPARE(window->alarmBeeper()->isBeeping(), !status.isEmpty());
    if (!status.isEmpty())
        QTRY_VERIFY_WITH_TIMEOUT(beeps >= 2, 5000);

    // Sound off: no more beeps; a closed connection ends the alarm.
    window->alarmSoundAction()->setChecked(false);
    QVERIFY(!window->alarmBeeper()->isBeeping());
    instrument->close();
    QCOMPARE(window->tiles()->realtime()->shownColor(), OwnColour);
    QCOMPARE(window->connection()->alarmStatus()->text(), QString());
}

// A unit answer the program does not know, or a click without an instrument, changes nothing.
void tst_AlarmsUnits::unitWithoutInstrument_data()
{
    QTest::addColumn<QByteArray>("unitAnswer");
    QTest::newRow("click without instrument") << QByteArray();
    QTest::newRow("answer 3") << byteAnswer(3);
    QTest::newRow("answer 0") << byteAnswer(0);
    QTest::newRow("answer 255") << byteAnswer(255);
}

void tst_AlarmsUnits::unitWithoutInstrument()
{
    QFETCH(QByteArray, unitAnswer);
    MainWindow *window = f.openWindowWithoutPorts();
    QTRY_COMPARE_WITH_TIMEOUT(
            window->connection()->portStatus()->text(), QStringLiteral("找不到合适COM"), 5000);
    Instrument *instrument = window->instrument();
    instrument->recvdata(0x15, temperatureAnswer(-50.0), true);
    instrument->recvdata(0x16, temperatureAnswer(1000.0), true);
    instrument->recvdata(0x01, temperatureAnswer(20.0), true);
    window->chart()->addObjectReading(20.0);
    if (unitAnswer.isEmpty()) {
        window->form().radioButton_F->setChecked(true);
        window->panel()->writeUnit(1);
    } else
        instrument->recvdata(0x53, unitAnswer, true);
    QCOMPARE(instrument->unit(), 2);
    QVERIFY(!window->form().radioButton_F->isChecked());
    QCOMPARE(window->chart()->unit(), 2);
    QCOMPARE(window->chart()->plot()->yAxis->label(), QStringLiteral("温度(℃)"));
    QCOMPARE(window->form().label_rangeh->text(), QStringLiteral("1000℃"));
    QCOMPARE(window->tiles()->highest(2), 20.0f);
}

// Against the simulator: a threshold edit moves its line; unit switches in the middle of a
// recording convert everything shown, and the saved file is in one unit.
void tst_AlarmsUnits::thresholdEditAndUnitSwitches()
{
    InstrumentSimulator *sim = f.startSimulator();
    QVERIFY(sim);
    sim->setObjectTemperature(20.0);
    sim->setAmbientTemperature(25.0);
    MainWindow *window = f.openWindow();
    QVERIFY(f.waitUntilPolling());
    QTRY_COMPARE_WITH_TIMEOUT(
            tileText(window->tiles()->realtime()), QStringLiteral("20.0℃"), 10000);
    ThresholdLines *lines = window->thresholdLines();
    const MainWindowUi &ui = window->form();
    // The simulator's high alarm is 100 and on.
    QTRY_COMPARE_WITH_TIMEOUT(lines->highLabel()->text(), QStringLiteral("100.0℃"), 5000);
    QVERIFY(lines->highLine()->visible());
    QVERIFY(!lines->lowLine()->visible());

    ui.doubleSpinBox_halert->setValue(15.0);
    window->panel()->writeHighAlarm();
    QTRY_COMPARE_WITH_TIMEOUT(lines->highLine()->point1->coords().y(), 15.0, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(
            window->connection()->alarmStatus()->text(), QStringLiteral("高温报警"), 5000);
    QCOMPARE(window->tiles()->realtime()->shownColor(), ThresholdLines::HighColor);

    ChartWidget *chart = window->chart();
    chart->setRecordInterval(50);
    window->strip()->startStop();
    QVERIFY(chart->isRecording());
    QTRY_VERIFY_WITH_TIMEOUT(chart->samples().size() > 3, 5000);

    struct Shown
    {
        int unit;
        QString reading, ambient, range, threshold, axis;
        double box, sample;
    };
    const Shown fahrenheit{1, "68.0℉", "77.0℉", "1832℉", "59.0℉", "温度(℉)", 59.0, 68.0};
    const Shown celsius{2, "20.0℃", "25.0℃", "1000℃", "15.0℃", "温度(℃)", 15.0, 20.0};
    const auto checkShown = [&](const Shown &s, const char *when) {
        const QByteArray where = QByteArray(when) + " unit " + QByteArray::number(s.unit);
        QVERIFY2(tileText(window->tiles()->realtime()) == s.reading, where);
        QVERIFY2(tileText(window->tiles()->ambient()) == s.ambient, where);
        QVERIFY2(tileText(window->tiles()->maximum()) == s.reading, where);
        QVERIFY2(tileText(window->tiles()->minimum()) == s.reading, where);
        QVERIFY2(ui.label_rangeh->text() == s.range, where);
        QVERIFY2(lines->highLabel()->text() == s.threshold, where);
        QVERIFY2(qFuzzyCompare(lines->highLine()->point1->coords().y(), s.box), where);
        QVERIFY2(qFuzzyCompare(ui.doubleSpinBox_halert->value(), s.box), where);
        QVERIFY2(chart->plot()->yAxis->label().contains(s.axis.right(3)), where);
        QVERIFY2(chart->unit() == s.unit && chart->recordHeader().unit == s.unit, where);
        const RecordSeries held = chart->samples().snapshot();
        for (double t : held.temperatures)
            QVERIFY2(std::isnan(t) || qAbs(t - s.sample) < 0.01,
                     where + " sample " + QByteArray::number(t));
        // The alarm goes on through the switches.
        QVERIFY2(window->connection()->alarmStatus()->text() == QStringLiteral("高温报警"), where);
    };

    // The panel is locked while recording; the instrument is told all the same.
    for (const Shown &s : {fahrenheit, celsius, fahrenheit}) {
        if (s.unit == 1)
            window->panel()->writeUnit(1);
        else
            window->panel()->writeUnit(2);
        QTRY_COMPARE_WITH_TIMEOUT(window->instrument()->unit(), s.unit, 5000);
        checkShown(s, "after the switch");
        QEvent change(QEvent::LanguageChange);
        QApplication::sendEvent(window, &change);
        QApplication::sendEvent(chart, &change);
        checkShown(s, "after a language change");
        const int held = chart->samples().size();
        QTRY_VERIFY_WITH_TIMEOUT(chart->samples().size() > held + 3, 5000);
        checkShown(s, "with more samples");
    }

    DeviceInfoDialog *shownDialog = nullptr;
    QString dialogRange;
    Messages::setDialogRunner([&](QDialog &dialog) {
        shownDialog = qobject_cast<DeviceInfoDialog *>(&dialog);
        if (shownDialog)
            dialogRange = shownDialog->label_rangel->text() + shownDialog->label_rangeh->text();
        return int(QDialog::Rejected);
    });
    window->showDeviceInfo();
    QVERIFY(shownDialog);
    QCOMPARE(dialogRange, QStringLiteral("-58℉1832℉"));

    const QString saved = f.dir.filePath(QStringLiteral("switched.txt"));
    Messages::setFileChooser(
            [&](Messages::FileAccess, const QString &, const QString &) { return saved; });
    window->strip()->saveRecord();
    RecordImport back;
    QVERIFY(loadRecordFile(saved, back));
    QCOMPARE(back.unit, std::optional<int>(1));
    QVERIFY(back.series.temperatures.size() > 9);
    for (int i = 0; i < back.series.temperatures.size(); ++i) {
        const double t = back.series.temperatures[i], a = back.series.ambients[i];
        QVERIFY2(std::isnan(t) || qAbs(t - 68.0) < 0.1, qPrintable(QString::number(t)));
        QVERIFY2(std::isnan(a) || qAbs(a - 77.0) < 0.1, qPrintable(QString::number(a)));
    }
}

QTEST_MAIN(tst_AlarmsUnits)
#include "tst_alarmsunits.moc"
