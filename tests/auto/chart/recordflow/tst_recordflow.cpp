// Export and import through the chart: file thread, progress dialog, boxes.

#include "../chartfixtures.h"
#include "chartwidget.h"
#include "waitdialog.h"

#include <QDir>
#include <QFile>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <qcustomplot.h>

#include <cmath>

namespace {

void writeText(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write test file");
}

QByteArray readText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read test file");
    return file.readAll();
}

const QByteArray kThreeSamples = "Tevrano\nDate:2026-01-05 14:07:09:123\nEmissivity:0.8\nUnit:1\n"
                                 "UnitSymbol:℉\nDataCounts:3\n"
                                 "Index,Duration,Temperature,Tamb,Time\n"
                                 "1\t0.50\t70.0\t60.0\t14:07:09:123\n"
                                 "2\t1.50\t90.0\t61.0\t14:07:09:133\n"
                                 "3\t2.50\t80.0\t62.0\t14:07:09:143\n";

} // namespace

class tst_RecordFlow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void exportWritesFileAndReports();
    void exportCancelledDoesNothing();
    void savesButRefusesImportWhileRecording_data();
    void savesButRefusesImportWhileRecording();
    void exportFailureShowsError();
    void importLoadsSamplesAndView();
    void importOfOneSampleKeepsTimeRange();
    void failedImportKeepsSamples_data();
    void failedImportKeepsSamples();
    void importBeyondTheChartLimit_data();
    void importBeyondTheChartLimit();
    void importWithoutHeaderValuesKeepsChartValues();
    void exportAfterImportWithoutTamb();
    void exportWithoutRecordingUsesExportTime();
    void waitDialogIgnoresEscapeAndReturn();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    void recordSamples(const QVector<double> &temperatures);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ChartUnderTest> m_f;
};

void tst_RecordFlow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_f = std::make_unique<ChartUnderTest>();
    QVERIFY(QTest::qWaitForWindowExposed(&m_f->chart));
}

void tst_RecordFlow::cleanup()
{
    m_f.reset();
    m_dir.reset();
}

void tst_RecordFlow::recordSamples(const QVector<double> &temperatures)
{
    m_f->chart.on_pushButton_startstop_clicked();
    for (int i = 0; i < temperatures.size(); ++i)
        m_f->chart.samples().append(i * 0.01, temperatures[i], temperatures[i] - 5.0);
    m_f->chart.on_pushButton_startstop_clicked();
}

void tst_RecordFlow::exportWritesFileAndReports()
{
    m_f->chart.session().noteParameter(Instrument::Parameter::Emissivity, 0.95);
    m_f->chart.setUnit(2);
    recordSamples({20.0, 21.0, 22.0});
    m_f->prompter.savePath = path(QStringLiteral("out.txt"));
    QSignalSpy progress(&m_f->chart.files(), &RecordFileFlows::progress);
    QSignalSpy finished(&m_f->chart.files(), &RecordFileFlows::fileWritten);

    m_f->chart.on_pushButton_export_clicked();

    QCOMPARE(finished.size(), 1);
    QVERIFY(!progress.isEmpty());
    QCOMPARE(progress.last().at(0).toInt(), 100);
    QCOMPARE(m_f->prompter.messages.size(), 1);
    const RecordingPrompter::Message done = m_f->prompter.messages.first();
    QCOMPARE(done.icon, QMessageBox::Information);
    QVERIFY(!done.hasParent);
    QCOMPARE(done.title, QStringLiteral("导出数据成功"));
    QCOMPARE(done.text, QStringLiteral("信息已保存在%1！").arg(m_f->prompter.savePath));
    QCOMPARE(done.button, QStringLiteral("确定"));

    RecordImport back;
    QVERIFY(loadRecordFile(m_f->prompter.savePath, back));
    QCOMPARE(back.series.temperatures, (QVector<double>{20.0, 21.0, 22.0}));
    QCOMPARE(back.emissivity.value_or(0.0f), 0.95f);
    QCOMPARE(back.unit.value_or(0), 2);
}

void tst_RecordFlow::exportCancelledDoesNothing()
{
    recordSamples({20.0});
    QSignalSpy finished(&m_f->chart.files(), &RecordFileFlows::fileWritten);
    m_f->chart.on_pushButton_export_clicked();
    QVERIFY(m_f->prompter.messages.isEmpty());
    QCOMPARE(finished.size(), 0);
    QVERIFY(QDir(m_dir->path()).isEmpty());
}

void tst_RecordFlow::savesButRefusesImportWhileRecording_data()
{
    QTest::addColumn<bool>("limitReached");
    QTest::newRow("recording") << false;
    QTest::newRow("stopped at the sample limit") << true;
}

void tst_RecordFlow::savesButRefusesImportWhileRecording()
{
    QFETCH(bool, limitReached);
    const QString file = path(QStringLiteral("in.txt"));
    writeText(file, kThreeSamples);
    m_f->prompter.savePath = path(QStringLiteral("out.txt"));
    if (limitReached) {
        m_f->settings.values[QStringLiteral("ChartLineFPS")] = QStringLiteral("10");
        m_f->chart.on_pushButton_startstop_clicked();
        m_f->chart.setCacheSize(2);
        feedReading(m_f->chart, 20.0);
        QTRY_COMPARE_WITH_TIMEOUT(m_f->prompter.messages.size(), 1, 30000);
        m_f->prompter.messages.clear();
    } else {
        m_f->chart.on_pushButton_startstop_clicked();
        m_f->chart.samples().append(0.0, 20.0, 19.0);
    }
    // Saving takes what is held so far; a recording goes on, one at its limit has ended.
    const int held = m_f->chart.samples().size();
    m_f->chart.on_pushButton_export_clicked();
    QCOMPARE(m_f->chart.isRecording(), !limitReached);
    RecordImport saved;
    QVERIFY(loadRecordFile(m_f->prompter.savePath, saved));
    QVERIFY(saved.series.durations.size() >= held);
    QCOMPARE(m_f->prompter.messages.size(), 1);
    QCOMPARE(m_f->prompter.messages.first().text,
             QStringLiteral("信息已保存在%1！").arg(m_f->prompter.savePath));
    m_f->prompter.messages.clear();
    if (limitReached)
        return;

    m_f->chart.loadRecord(file);
    QCOMPARE(m_f->prompter.messages.size(), 1);
    const RecordingPrompter::Message refusal = m_f->prompter.messages.first();
    QCOMPARE(refusal.icon, QMessageBox::Warning);
    QCOMPARE(refusal.title, QStringLiteral("提示"));
    QCOMPARE(refusal.text, QStringLiteral("正在记录曲线，请先停止！"));
    QVERIFY(m_f->chart.isRecording());
}

void tst_RecordFlow::exportFailureShowsError()
{
    recordSamples({20.0, 21.0});
    m_f->prompter.savePath = path(QStringLiteral("gone/out.txt"));
    m_f->chart.on_pushButton_export_clicked();
    // The error arrives queued from the file thread, before the end of the flow.
    QCOMPARE(m_f->prompter.messages.size(), 1);
    const RecordingPrompter::Message error = m_f->prompter.messages.first();
    QCOMPARE(error.icon, QMessageBox::Critical);
    QVERIFY(!error.hasParent);
    QCOMPARE(error.title, QStringLiteral("错误"));
    // The file and the system's reason.
    QVERIFY2(error.text.startsWith(QStringLiteral("无法保存文件 ")
                                   + QDir::toNativeSeparators(m_f->prompter.savePath))
                     && error.text.contains(QStringLiteral("No such file or directory")),
             qPrintable(error.text));
}

void tst_RecordFlow::importLoadsSamplesAndView()
{
    const QString file = path(QStringLiteral("in.txt"));
    writeText(file, kThreeSamples);
    m_f->chart.setAmbientVisible(true); // hidden, it is handed no points
    m_f->chart.loadRecord(file);

    QVERIFY(m_f->prompter.messages.isEmpty());
    const RecordSeries series = m_f->chart.samples().snapshot();
    QCOMPARE(series.durations, (QVector<double>{0.5, 1.5, 2.5}));
    QCOMPARE(series.temperatures, (QVector<double>{70.0, 90.0, 80.0}));
    QCOMPARE(series.ambients, (QVector<double>{60.0, 61.0, 62.0}));
    QCOMPARE(m_f->chart.unit(), 1);
    QCOMPARE(m_f->chart.plot()->yAxis->label(), QStringLiteral("温度(℉)"));
    QCOMPARE(m_f->chart.recordHeader().emissivity, 0.8f);
    QCOMPARE(m_f->chart.importMax(), 90.0f);
    QCOMPARE(m_f->chart.importMin(), 70.0f);
    QCOMPARE(m_f->chart.cacheSize(), 3);
    QCOMPARE(m_f->chart.plot()->xAxis->range(), QCPRange(0.5, 2.5));
    QCOMPARE(m_f->chart.plot()->yAxis->range(), QCPRange(60, 100));
    QCOMPARE(m_f->chart.temperatureGraph()->data()->size(), 3);
    QCOMPARE(m_f->chart.ambientGraph()->data()->size(), 3);
}

void tst_RecordFlow::importOfOneSampleKeepsTimeRange()
{
    const QString file = path(QStringLiteral("one.txt"));
    writeText(file,
              "Tevrano\nDataCounts:1\nIndex,Duration,Temperature,Tamb,Time\n"
              "1\t4.00\t25.0\t20.0\t14:07:09:123\n");
    m_f->chart.plot()->xAxis->setRange(3, 40);
    m_f->chart.loadRecord(file);
    QCOMPARE(m_f->chart.samples().size(), 1);
    QCOMPARE(m_f->chart.plot()->xAxis->range(), QCPRange(3, 40));
    QCOMPARE(m_f->chart.plot()->yAxis->range(), QCPRange(15, 35));
}

void tst_RecordFlow::failedImportKeepsSamples_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("missing file") << "missing.txt" << QByteArray();
    QTest::newRow("empty file") << "empty.txt" << QByteArray("");
    QTest::newRow("unknown column header after a count")
            << "columns.txt" << QByteArray("Tevrano\nDataCounts:5\nA,B,C\n1\t2\t3\n");
}

void tst_RecordFlow::failedImportKeepsSamples()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    const QString file = path(name);
    if (name != QLatin1String("missing.txt"))
        writeText(file, bytes);
    recordSamples({20.0, 21.0, 22.0});
    m_f->chart.on_pushButton_startstop_clicked();
    m_f->chart.samples().append(0.0, 20.0, 19.0);
    m_f->chart.refreshView();
    m_f->chart.on_pushButton_startstop_clicked();
    const int limit = m_f->chart.cacheSize();

    m_f->chart.loadRecord(file);

    QCOMPARE(m_f->prompter.messages.size(), 1);
    QCOMPARE(m_f->prompter.messages.first().icon, QMessageBox::Critical);
    const QString text = m_f->prompter.messages.first().text;
    // A file that cannot be opened is named with the system's reason.
    if (name == QLatin1String("missing.txt"))
        QVERIFY2(text.startsWith(QStringLiteral("无法打开文件 ") + QDir::toNativeSeparators(file))
                         && text.contains(QStringLiteral("No such file or directory")),
                 qPrintable(text));
    else
        QCOMPARE(text, QStringLiteral("无法识别的文件格式!"));
    QCOMPARE(m_f->chart.samples().size(), 1);
    QCOMPARE(m_f->chart.temperatureGraph()->data()->size(), 1);
    QCOMPARE(m_f->chart.cacheSize(), limit);
}

void tst_RecordFlow::importBeyondTheChartLimit_data()
{
    QTest::addColumn<int>("rows");
    QTest::newRow("at the limit") << 1000;
    QTest::newRow("one over") << 1001;
}

// "ChartLineCache" 1 keeps 1000 samples; a file holding more is refused whole.
void tst_RecordFlow::importBeyondTheChartLimit()
{
    QFETCH(int, rows);
    const QString file = path(QStringLiteral("long.txt"));
    QByteArray bytes = "Tevrano\nDataCounts:1\nIndex,Duration,Temperature,Tamb,Time\n";
    for (int i = 0; i < rows; ++i)
        bytes += QByteArray::number(i + 1) + "\t" + QByteArray::number(i) + "\t30.0\t20.0\tx\n";
    writeText(file, bytes);
    m_f->settings.setValue(QStringLiteral("ChartLineCache"), QStringLiteral("1"));
    recordSamples({20.0, 21.0});
    const RecordSeries before = m_f->chart.samples().snapshot();
    const int graphBefore = m_f->chart.temperatureGraph()->data()->size();
    const int limit = m_f->chart.cacheSize();

    m_f->chart.loadRecord(file);

    if (rows <= 1000) {
        QVERIFY(m_f->prompter.messages.isEmpty());
        QCOMPARE(m_f->chart.samples().size(), rows);
        return;
    }
    QCOMPARE(m_f->prompter.messages.size(), 1);
    QCOMPARE(m_f->prompter.messages.first().icon, QMessageBox::Critical);
    QCOMPARE(m_f->prompter.messages.first().text,
             QStringLiteral("文件中的数据超过1000个，超出曲线的最大数据量，未导入。"));
    const RecordSeries after = m_f->chart.samples().snapshot();
    QCOMPARE(after.durations, before.durations);
    QCOMPARE(after.temperatures, before.temperatures);
    QCOMPARE(m_f->chart.temperatureGraph()->data()->size(), graphBefore);
    QCOMPARE(m_f->chart.cacheSize(), limit);
}

void tst_RecordFlow::importWithoutHeaderValuesKeepsChartValues()
{
    const QString file = path(QStringLiteral("bare.txt"));
    writeText(file,
              "Tevrano\nDataCounts:0\nIndex,Duration,Temperature,Time\n1\t1\t30\tx\n2\t2\t31\tx\n");
    m_f->chart.setUnit(1);
    m_f->chart.session().noteParameter(Instrument::Parameter::Emissivity, 0.9);
    recordSamples({});
    const int limit = m_f->chart.cacheSize();
    m_f->chart.loadRecord(file);
    QCOMPARE(m_f->chart.unit(), 1);
    QCOMPARE(m_f->chart.recordHeader().emissivity, 0.9f);
    QCOMPARE(m_f->chart.samples().size(), 2);
    // A count of 0 says nothing about the limit.
    QCOMPARE(m_f->chart.cacheSize(), limit);
}

void tst_RecordFlow::exportAfterImportWithoutTamb()
{
    const QString in = path(QStringLiteral("notamb.txt"));
    writeText(in,
              "Tevrano\nUnit:2\nDataCounts:2\nIndex,Duration,Temperature,"
              "Time\n1\t1\t30\tx\n2\t2\t31\tx\n");
    m_f->chart.loadRecord(in);
    QCOMPARE(m_f->chart.samples().size(), 2);
    m_f->prompter.savePath = path(QStringLiteral("out.txt"));
    m_f->chart.on_pushButton_export_clicked();
    QCOMPARE(m_f->prompter.messages.size(), 1);
    QCOMPARE(m_f->prompter.messages.first().title, QStringLiteral("导出数据成功"));

    const QList<QByteArray> lines = readText(m_f->prompter.savePath).split('\n');
    QCOMPARE(lines.at(lines.size() - 3).split('\t').mid(0, 4),
             (QList<QByteArray>{"1", "1", "30.0", ""})); // interval of seconds: whole seconds
    RecordImport back;
    QVERIFY(loadRecordFile(m_f->prompter.savePath, back));
    QCOMPARE(back.series.ambients.size(), 2);
    QVERIFY(std::isnan(back.series.ambients[0]) && std::isnan(back.series.ambients[1]));
}

void tst_RecordFlow::exportWithoutRecordingUsesExportTime()
{
    // Samples without a recording of this session behind them.
    m_f->chart.samples().append(0.0, 20.0, 19.0);
    m_f->prompter.savePath = path(QStringLiteral("unstarted.txt"));
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    m_f->chart.on_pushButton_export_clicked();
    const QList<QByteArray> lines = readText(m_f->prompter.savePath).split('\n');
    QVERIFY(lines.at(1).startsWith("Date:"));
    const QDateTime written = QDateTime::fromString(QString::fromLatin1(lines.at(1).mid(5)),
                                                    QStringLiteral("yyyy-MM-dd hh:mm:ss:zzz"));
    QVERIFY(written.isValid());
    QVERIFY(written >= before && written <= QDateTime::currentDateTime().addSecs(1));
    QVERIFY(lines.contains("DataCounts:1"));
}

void tst_RecordFlow::waitDialogIgnoresEscapeAndReturn()
{
    WaitDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(dialog.windowFlags().testFlag(Qt::CustomizeWindowHint));
    QVERIFY(!dialog.windowFlags().testFlag(Qt::WindowTitleHint));
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QTest::keyClick(&dialog, Qt::Key_Return);
    QVERIFY(dialog.isVisible());
    dialog.Progress(42);
    QCOMPARE(dialog.findChild<QProgressBar *>(QStringLiteral("progressBar"))->value(), 42);
    dialog.accept();
    QVERIFY(!dialog.isVisible());
}

QTEST_MAIN(tst_RecordFlow)
#include "tst_recordflow.moc"
