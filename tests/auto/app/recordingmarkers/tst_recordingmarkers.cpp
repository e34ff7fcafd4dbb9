// What the recording marks by itself: alarms starting and ending, settings changing, the unit
// switching; and nothing outside a recording.
#include "../../chart/chartfixtures.h"
#include "../support/answers.h"
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
};

void tst_RecordingMarkers::marksWhatHappened()
{
    ChartUnderTest f;
    ChartWidget &chart = f.chart;
    Instrument instrument;
    RecordingMarkers markers(&instrument, &chart);
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

QTEST_MAIN(tst_RecordingMarkers)
#include "tst_recordingmarkers.moc"
