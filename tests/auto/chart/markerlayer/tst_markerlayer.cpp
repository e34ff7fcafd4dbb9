// Markers on the chart: lines where they belong, their text near them, a list that edits them,
// and the recording's files that keep them.
#include "../chartfixtures.h"
#include "chartwidget.h"
#include "markerlayer.h"
#include "recordjournal.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <qcustomplot.h>

#include <cmath>

class tst_MarkerLayer : public QObject
{
    Q_OBJECT
private slots:
    void hoverListAndEdit();
    void recordingKeepsItsMarkers();
};

void tst_MarkerLayer::hoverListAndEdit()
{
    QCustomPlot plot;
    plot.resize(600, 400);
    plot.xAxis->setRange(0, 100);
    plot.replot();
    MarkerLayer layer(&plot);
    layer.setMarkers({{60, "b"}, {20, "a"}, {20.01, "a2"}});
    MarkerList list(&layer);

    const double at20 = plot.xAxis->coordToPixel(20);
    QCOMPARE(layer.textNear(at20 + MarkerLayer::HoverPixels - 1), QStringLiteral("a\na2"));
    QCOMPARE(layer.textNear(at20 + 3 * MarkerLayer::HoverPixels), QString());
    layer.setVisible(false);
    QCOMPARE(layer.textNear(at20), QString());
    layer.setVisible(true);

    // In time order; a click centres the plot on one and offers the span to the next.
    QCOMPARE(list.topLevelItemCount(), 3);
    QCOMPARE(list.topLevelItem(2)->text(1), QStringLiteral("b"));
    QSignalSpy spans(&list, &MarkerList::spanChosen);
    emit list.itemClicked(list.topLevelItem(1), 0);
    QCOMPARE(spans.size(), 1);
    QCOMPARE(spans.first().value(0).toDouble(), 20.01);
    QCOMPARE(spans.first().value(1).toDouble(), 60.0);
    QCOMPARE(plot.xAxis->range().center(), 20.01);
    emit list.itemClicked(list.topLevelItem(2), 0);
    QVERIFY(std::isnan(spans.last().value(1).toDouble()));

    // Editing a text in the list edits the marker.
    list.topLevelItem(0)->setText(1, QStringLiteral("door\nopen"));
    QCOMPARE(layer.markers().first().text, QStringLiteral("door\nopen"));
    QCOMPARE(layer.markers().first().seconds, 20.0);
}

void tst_MarkerLayer::recordingKeepsItsMarkers()
{
    ChartUnderTest f;
    ChartWidget &chart = f.chart;
    QTemporaryDir dir;
    chart.setJournalFolder(dir.path());
    // Readings keep coming, or the session would take gaps.
    QTimer readings;
    connect(&readings, &QTimer::timeout, &chart, [&chart] { feedReading(chart, 21.5); });
    readings.start(20);
    f.settings.values[QStringLiteral("ChartLineFPS")] = QStringLiteral("10");
    chart.on_pushButton_startstop_clicked();
    QTRY_VERIFY_WITH_TIMEOUT(chart.samples().size() > 5, 10000);
    chart.addMarker(QStringLiteral("door"));
    // Samples after the marker, however many had come before it.
    const int atMarker = chart.samples().size();
    QTRY_VERIFY_WITH_TIMEOUT(chart.samples().size() > atMarker + 1, 10000);
    chart.on_pushButton_startstop_clicked();

    const QVector<Marker> markers = chart.recordHeader().markers;
    QCOMPARE(markers.size(), 1);
    QCOMPARE(markers.first().text, QStringLiteral("door"));
    QVERIFY(markers.first().seconds > 0);
    QVERIFY(markers.first().seconds < chart.samples().lastDuration());

    // The journal kept it; a restored journal shows it again.
    RecordImport journal;
    QTRY_VERIFY_WITH_TIMEOUT(loadJournalFile(chart.journal()->path(), journal)
                                     && journal.markers.size() == 1,
                             10000);
    chart.markerLayer()->clear();
    QVERIFY(chart.restoreJournal());
    QCOMPARE(chart.markerLayer()->markers().size(), 1);
    QCOMPARE(chart.markerLayer()->markers().first().text, QStringLiteral("door"));

    // A new recording starts without them.
    chart.on_pushButton_startstop_clicked();
    QVERIFY(chart.markerLayer()->markers().isEmpty());
    chart.on_pushButton_startstop_clicked();
}

QTEST_MAIN(tst_MarkerLayer)
#include "tst_markerlayer.moc"
