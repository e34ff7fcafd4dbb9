#include "../chartfixtures.h"
#include "chartcapacity.h"
#include "chartsettingsdialog.h"
#include "chartwidget.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

namespace {

struct DialogParts
{
    explicit DialogParts(ChartSettingsDialog &dialog)
        : caches(dialog.findChild<QSpinBox *>(QStringLiteral("spinBox_caches")))
        , intervals(dialog.findChild<QComboBox *>(QStringLiteral("comboBox_fps")))
        , duration(dialog.findChild<QLabel *>(QStringLiteral("label_duration")))
        , memory(dialog.findChild<QLabel *>(QStringLiteral("label_memory")))
        , buttons(dialog.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox")))
    {}

    QSpinBox *caches;
    QComboBox *intervals;
    QLabel *duration;
    QLabel *memory;
    QDialogButtonBox *buttons;
};

} // namespace

class tst_ChartSettingsDialog : public QObject
{
    Q_OBJECT

private slots:
    void durationText_data();
    void durationText();
    void memoryText_data();
    void memoryText();
    void parseInterval_data();
    void parseInterval();
    void intervalIndex_data();
    void intervalIndex();
    void opensOnStoredValues_data();
    void opensOnStoredValues();
    void durationFollowsChoices_data();
    void durationFollowsChoices();
    void acceptStoresChoices_data();
    void acceptStoresChoices();
    void rejectStoresNothing();
    void applyingStoredSettingsEmptiesChart();
};

void tst_ChartSettingsDialog::durationText_data()
{
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("interval");
    QTest::addColumn<QString>("expected");
    // From the largest unit that is not zero, seconds always kept, no separator left at the end.
    QTest::newRow("1000 x 10ms") << 1000000 << 10 << "2时 46分 40秒";
    QTest::newRow("1 x 10ms") << 1000 << 10 << "10秒";
    QTest::newRow("10000 x 500ms") << 10000000 << 500 << "57天 20时 53分 20秒";
    QTest::newRow("1000 x 100ms") << 1000000 << 100 << "1天 3时 46分 40秒";
    QTest::newRow("minutes") << 6000 << 10 << "1分 0秒";
    QTest::newRow("exactly one day") << 864000 << 100 << "1天 0时 0分 0秒";
    QTest::newRow("no interval") << 1000 << 0 << "0秒";
}

void tst_ChartSettingsDialog::durationText()
{
    QFETCH(int, samples);
    QFETCH(int, interval);
    QFETCH(QString, expected);
    QCOMPARE(recordDurationText(samples, interval), expected);
}

void tst_ChartSettingsDialog::memoryText_data()
{
    QTest::addColumn<int>("samples");
    QTest::addColumn<QString>("expected");
    QTest::newRow("1000 thousand") << 1000000 << "15.26MB";
    QTest::newRow("one thousand") << 1000 << "15.6KB";
    QTest::newRow("10000 thousand") << 10000000 << "152.59MB";
    QTest::newRow("just below 1 MiB") << 65535 << "1024.0KB";
    QTest::newRow("exactly 1 MiB") << 65536 << "1.00MB";
}

void tst_ChartSettingsDialog::memoryText()
{
    QFETCH(int, samples);
    QFETCH(QString, expected);
    QCOMPARE(recordMemoryText(samples), expected);
}

void tst_ChartSettingsDialog::parseInterval_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("ms");
    QTest::newRow("milliseconds") << "500ms" << 500;
    QTest::newRow("seconds") << "2s" << 2000;
    QTest::newRow("ten seconds") << "10s" << 10000;
    QTest::newRow("no unit") << "10" << -1;
    QTest::newRow("case-sensitive") << "10MS" << -1;
    QTest::newRow("unit without number") << "ms" << 0;
}

void tst_ChartSettingsDialog::parseInterval()
{
    QFETCH(QString, text);
    QFETCH(int, ms);
    QCOMPARE(::parseInterval(text), ms);
}

void tst_ChartSettingsDialog::intervalIndex_data()
{
    QTest::addColumn<int>("ms");
    QTest::addColumn<int>("index");
    QTest::newRow("first") << 10 << 0;
    QTest::newRow("one second") << 1000 << 6;
    QTest::newRow("last") << 10000 << 9;
    QTest::newRow("not offered") << 30 << -1;
}

void tst_ChartSettingsDialog::intervalIndex()
{
    QFETCH(int, ms);
    QFETCH(int, index);
    QCOMPARE(::intervalIndex(ms), index);
    QCOMPARE(chartIntervalTexts().size(), 10);
}

void tst_ChartSettingsDialog::opensOnStoredValues_data()
{
    QTest::addColumn<QString>("cache");
    QTest::addColumn<QString>("interval");
    QTest::addColumn<int>("spin");
    QTest::addColumn<QString>("intervalText");
    QTest::addColumn<QString>("duration");
    QTest::addColumn<QString>("memory");
    QTest::newRow("1000 x 10ms") << "1000"
                                 << "10" << 1000 << "10ms"
                                 << "2时 46分 40秒"
                                 << "15.26MB";
    QTest::newRow("1 x 10ms") << "1"
                              << "10" << 1 << "10ms"
                              << "10秒"
                              << "15.6KB";
    QTest::newRow("10000 x 500ms") << "10000"
                                   << "500" << 10000 << "500ms"
                                   << "57天 20时 53分 20秒"
                                   << "152.59MB";
    QTest::newRow("stored 0 shows the minimum") << "0"
                                                << "10" << 1 << "10ms"
                                                << "10秒"
                                                << "15.6KB";
    QTest::newRow("interval not offered opens on 10ms") << "1"
                                                        << "30" << 1 << "10ms"
                                                        << "10秒"
                                                        << "15.6KB";
    QTest::newRow("nothing stored") << QString() << QString() << 1 << "10ms"
                                    << "10秒"
                                    << "15.6KB";
}

void tst_ChartSettingsDialog::opensOnStoredValues()
{
    QFETCH(QString, cache);
    QFETCH(QString, interval);
    QFETCH(int, spin);
    QFETCH(QString, intervalText);
    QFETCH(QString, duration);
    QFETCH(QString, memory);
    MemorySettings settings;
    if (!cache.isNull())
        settings.values[QStringLiteral("ChartLineCache")] = cache;
    if (!interval.isNull())
        settings.values[QStringLiteral("ChartLineFPS")] = interval;
    ChartSettingsDialog dialog;
    DialogParts parts(dialog);
    QCOMPARE(parts.caches->value(), spin);
    QCOMPARE(parts.intervals->currentText(), intervalText);
    QCOMPARE(parts.duration->text(), duration);
    QCOMPARE(parts.memory->text(), memory);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("图表参数设置"));
    QVERIFY(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

void tst_ChartSettingsDialog::durationFollowsChoices_data()
{
    QTest::addColumn<QString>("cache");
    QTest::addColumn<QString>("choice");
    QTest::addColumn<int>("spin");
    QTest::addColumn<QString>("duration");
    QTest::addColumn<QString>("memory");
    QTest::newRow("interval 20ms at 1000") << "1000"
                                           << "20ms" << 1000 << "5时 33分 20秒"
                                           << "15.26MB";
    QTest::newRow("interval 10s at 1") << "1"
                                       << "10s" << 1 << "2时 46分 40秒"
                                       << "15.6KB";
    QTest::newRow("spin to 1000 at 10ms") << "1"
                                          << "10ms" << 1000 << "2时 46分 40秒"
                                          << "15.26MB";
}

void tst_ChartSettingsDialog::durationFollowsChoices()
{
    QFETCH(QString, cache);
    QFETCH(QString, choice);
    QFETCH(int, spin);
    QFETCH(QString, duration);
    QFETCH(QString, memory);
    MemorySettings settings;
    settings.values[QStringLiteral("ChartLineCache")] = cache;
    ChartSettingsDialog dialog;
    DialogParts parts(dialog);
    parts.intervals->setCurrentText(choice);
    parts.caches->setValue(spin);
    QCOMPARE(parts.duration->text(), duration);
    QCOMPARE(parts.memory->text(), memory);
}

void tst_ChartSettingsDialog::acceptStoresChoices_data()
{
    QTest::addColumn<QString>("storedInterval");
    QTest::addColumn<QString>("choice");
    QTest::addColumn<QString>("savedInterval");
    QTest::newRow("10s stored in milliseconds") << "10"
                                                << "10s"
                                                << "10000";
    QTest::newRow("unoffered interval becomes 10") << "30" << QString() << "10";
}

void tst_ChartSettingsDialog::acceptStoresChoices()
{
    QFETCH(QString, storedInterval);
    QFETCH(QString, choice);
    QFETCH(QString, savedInterval);
    MemorySettings settings;
    settings.values[QStringLiteral("ChartLineFPS")] = storedInterval;
    ChartSettingsDialog dialog;
    DialogParts parts(dialog);
    if (!choice.isNull())
        parts.intervals->setCurrentText(choice);
    parts.buttons->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(settings.values.value(QStringLiteral("ChartLineFPS")), savedInterval);
    QCOMPARE(settings.values.value(QStringLiteral("ChartLineCache")), QStringLiteral("1"));
    QCOMPARE(settings.saves, 1);
}

void tst_ChartSettingsDialog::rejectStoresNothing()
{
    MemorySettings settings;
    ChartSettingsDialog dialog;
    DialogParts parts(dialog);
    parts.caches->setValue(77);
    parts.buttons->button(QDialogButtonBox::Cancel)->click();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(settings.values.isEmpty());
    QCOMPARE(settings.saves, 0);
}

void tst_ChartSettingsDialog::applyingStoredSettingsEmptiesChart()
{
    MemorySettings settings;
    settings.values[QStringLiteral("ChartLineCache")] = QStringLiteral("3");
    settings.values[QStringLiteral("ChartLineFPS")] = QStringLiteral("200");
    ChartWidget chart;
    settings.values[QStringLiteral("ChartLineCache")] = QStringLiteral("7");
    chart.samples().append(1.0, 20.0, 19.0);
    chart.applyChartSettings();
    QCOMPARE(chart.samples().size(), 0);
    QCOMPARE(chart.cacheSize(), 7000);
    QCOMPARE(chart.recordInterval(), 200);
}

QTEST_MAIN(tst_ChartSettingsDialog)
#include "tst_chartsettingsdialog.moc"
