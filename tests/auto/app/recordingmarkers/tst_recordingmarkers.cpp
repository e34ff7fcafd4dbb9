// What the recording marks by itself: alarms starting and ending, settings changing, the unit
// switching, instruments lost; and nothing outside a recording. Among several instruments each
// text says whose it is.
#include "../../chart/chartfixtures.h"
#include "../support/answers.h"
#include "../support/simulatedinstruments.h"
#include "markerlayer.h"
#include "recordingmarkers.h"

#include <QtTest>

#include <cmath>

namespace {

QStringList texts(const ChartWidget &chart)
{
    QStringList texts;
    for (const Marker &marker : chart.markerLayer()->markers())
        texts.append(marker.text);
    return texts;
}

} // namespace

class tst_RecordingMarkers : public QObject
{
    Q_OBJECT
private slots:
    void marksWhatHappened();
    void namesTheInstrumentAmongSeveral();
};

void tst_RecordingMarkers::marksWhatHappened()
{
    ChartUnderTest f;
    ChartWidget &chart = f.chart;
    Instrument instrument;
    RecordingMarkers markers(&instrument, nullptr, &chart);
    instrument.recvdata(0x15, temperatureAnswer(-50.0), true);
    instrument.recvdata(0x16, temperatureAnswer(1000.0), true);
    instrument.recvdata(0x21, temperatureAnswer(35.0), true);
    instrument.recvdata(0x57, QByteArray(2, char(1)), true);
    instrument.recvdata(0xA0, answer16(950), true);
    // Before the recording: nothing.
    instrument.recvdata(0x01, temperatureAnswer(40.0), true);
    instrument.recvdata(0x01, temperatureAnswer(20.0), true);
    chart.addObjectReading(20.0);
    f.settings.values[QStringLiteral("ChartLineFPS")] = QStringLiteral("10");
    chart.on_pushButton_startstop_clicked();
    QVERIFY(texts(chart).isEmpty());

    instrument.recvdata(0xA0, answer16(950), true); // read again, unchanged
    instrument.recvdata(0xA0, answer16(900), true);
    instrument.recvdata(0x01, temperatureAnswer(40.0), true);
    instrument.recvdata(0x01, temperatureAnswer(34.8), true); // inside the hysteresis
    instrument.recvdata(0x01, temperatureAnswer(20.0), true);
    QCOMPARE(texts(chart), QStringList({"发射率 0.95 → 0.9", "高温报警开始", "报警结束"}));
    chart.on_pushButton_startstop_clicked();
}

void tst_RecordingMarkers::namesTheInstrumentAmongSeveral()
{
    SimulatedInstruments instruments;
    InstrumentSet &set = instruments.set;
    set.setLabel(QStringLiteral("1002"), QStringLiteral("窑区2"));
    QVERIFY(instruments.start({1001, 1002}, 20.0));
    ChartUnderTest f;
    Instrument standby;
    RecordingMarkers markers(&standby, &set, &f.chart);
    QTRY_COMPARE_WITH_TIMEOUT(set.serialNumbers().size(), 2, 20000);
    f.settings.values[QStringLiteral("ChartLineFPS")] = QStringLiteral("10");
    f.chart.on_pushButton_startstop_clicked();

    // Each member is followed from its joining on, named by its label, else its serial number.
    instruments.sim(1).setObjectTemperature(500.0);
    QTRY_COMPARE_WITH_TIMEOUT(texts(f.chart), QStringList({"窑区2：高温报警开始"}), 10000);
    instruments.sim(0).unplug();
    QTRY_VERIFY_WITH_TIMEOUT(texts(f.chart).contains("1001：仪器断开"), 10000);
    f.chart.on_pushButton_startstop_clicked();
}

QTEST_MAIN(tst_RecordingMarkers)
#include "tst_recordingmarkers.moc"
