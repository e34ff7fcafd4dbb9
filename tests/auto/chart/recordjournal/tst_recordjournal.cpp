// The recording journal: written through while the chart records, moved aside
// rather than overwritten, removed once saved or discarded, and read back from
// whatever a crash, a power cut or a stranger left at its place.

#include "../chartfixtures.h"
#include "chartwidget.h"
#include "recordjournal.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QByteArray kHeader = "Tevrano\nDate:2026-01-05 14:07:09:123\nEmissivity:0.95\nUnit:2\n"
                           "UnitSymbol:℃\nDataCounts:0\n"
                           "Index,Duration,Temperature,Tamb,Time\n";
const QByteArray kTwoRows = "1\t0.00\t20.0\t23.5\t14:07:09:123\n"
                            "2\t0.01\t20.5\t23.5\t14:07:09:133\n";

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write test file");
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int rowsIn(const QString &path)
{
    RecordImport journal;
    return loadJournalFile(path, journal) ? journal.series.durations.size() : -1;
}

// A "Vm..." figure of the process in KiB; -1 where the system does not tell.
long statusKiB(const QByteArray &key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key + ':'))
            return line.mid(key.size() + 1).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// Starts the peak resident size ("VmHWM") afresh; false where the system cannot.
bool resetPeakResident()
{
    QFile reset(QStringLiteral("/proc/self/clear_refs"));
    return reset.open(QIODevice::WriteOnly) && reset.write("5") == 1;
}

} // namespace

class tst_RecordJournal : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void writesThroughWhileRecording();
    void settledRecordingLosesItsJournal_data();
    void settledRecordingLosesItsJournal();
    void earlierJournalIsMovedAsideNeverOverwritten();
    void unwritableJournalFailsOnceAndRecordingGoesOn();
    void readsWhatACrashOrAStrangerLeft_data();
    void readsWhatACrashOrAStrangerLeft();
    void hugeJunkJournalReadsInBoundedMemory();

private:
    QString journalPath() const { return m_dir->filePath(QStringLiteral("recording.journal")); }
    void startRecording(const QString &interval);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ChartUnderTest> m_f;
};

void tst_RecordJournal::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_f = std::make_unique<ChartUnderTest>();
}

void tst_RecordJournal::cleanup()
{
    m_f.reset();
    m_dir.reset();
}

void tst_RecordJournal::startRecording(const QString &interval)
{
    m_f->settings.values[QStringLiteral("ChartLineFPS")] = interval;
    // The first sample waits for a reading.
    feedReading(m_f->chart, 21.5, 23.0);
    m_f->chart.on_pushButton_startstop_clicked();
    QVERIFY(m_f->chart.isRecording());
}

void tst_RecordJournal::writesThroughWhileRecording()
{
    ChartWidget &chart = m_f->chart;
    chart.setJournalFolder(m_dir->path());
    QSignalSpy failed(chart.journal(), &RecordJournal::failed);
    startRecording(QStringLiteral("10"));
    // Rows reach the file while the recording runs, not only at its end.
    QTRY_VERIFY_WITH_TIMEOUT(rowsIn(journalPath()) >= 20, 10000);
    QVERIFY(chart.isRecording());
    // Through the window, so the session keeps it for the saved file as the journal does.
    chart.addMarker(QStringLiteral("door\topen"));
    feedReading(chart, 22.5, 23.0);
    QTest::qWait(100);
    chart.on_pushButton_startstop_clicked();
    QVERIFY(chart.hasUnsavedRecording());

    const RecordSeries held = chart.samples().snapshot();
    QTRY_COMPARE_WITH_TIMEOUT(rowsIn(journalPath()), held.durations.size(), 10000);
    RecordImport journal;
    QVERIFY(loadJournalFile(journalPath(), journal));
    QCOMPARE(journal.skippedLines, 0);
    const QVector<Marker> kept = chart.recordHeader().markers;
    QCOMPARE(kept.size(), 1);
    QCOMPARE(journal.markers.size(), 1);
    QCOMPARE(journal.markers[0].text, QStringLiteral("door\topen"));
    QVERIFY(kept[0].seconds > 0);
    QVERIFY(std::abs(journal.markers[0].seconds - kept[0].seconds) < 0.0006);
    QCOMPARE(journal.unit, std::optional<int>(2));
    for (int i = 0; i < held.durations.size(); ++i) {
        QCOMPARE(journal.series.durations[i], std::round(held.durations[i] * 100) / 100);
        QCOMPARE(journal.series.temperatures[i], held.temperatures[i]);
        QCOMPARE(journal.series.ambients[i], 23.0);
    }
    QVERIFY(readBytes(journalPath()).contains("\nDate:"));
    QCOMPARE(failed.count(), 0);
}

void tst_RecordJournal::settledRecordingLosesItsJournal_data()
{
    QTest::addColumn<QString>("savePath"); // empty: discarded instead
    QTest::addColumn<QString>("written");
    QTest::addColumn<bool>("settled");
    QTest::newRow("saved without a suffix") << "rec1"
                                            << "rec1.txt" << true;
    QTest::newRow("saved with another suffix") << "rec1.csv"
                                               << "rec1.csv" << true;
    QTest::newRow("discarded") << ""
                               << "" << true;
    QTest::newRow("save fails") << "missing/rec1.txt"
                                << "" << false;
}

void tst_RecordJournal::settledRecordingLosesItsJournal()
{
    QFETCH(QString, savePath);
    QFETCH(QString, written);
    QFETCH(bool, settled);
    ChartWidget &chart = m_f->chart;
    chart.setJournalFolder(m_dir->path());
    startRecording(QStringLiteral("10"));
    QTRY_VERIFY_WITH_TIMEOUT(rowsIn(journalPath()) > 0, 10000);
    chart.on_pushButton_startstop_clicked();

    if (savePath.isEmpty()) {
        chart.discardRecording();
    } else {
        m_f->prompter.savePath = m_dir->filePath(savePath);
        QCOMPARE(chart.exportRecord(), settled);
    }
    if (!written.isEmpty())
        QVERIFY(QFile::exists(m_dir->filePath(written)));
    QCOMPARE(chart.hasUnsavedRecording(), !settled);
    QTRY_COMPARE_WITH_TIMEOUT(QFile::exists(journalPath()), !settled, 5000);
    // Nothing else appears or goes: the next recording gets a fresh journal.
    QTest::qWait(200);
    QCOMPARE(QFile::exists(journalPath()), !settled);
}

void tst_RecordJournal::earlierJournalIsMovedAsideNeverOverwritten()
{
    SampleStore store;
    store.restart();
    const QByteArray earlier = kHeader + kTwoRows;
    writeBytes(journalPath(), earlier);
    const QString recovered = m_dir->filePath(QStringLiteral("recovered"));
    {
        RecordJournal journal(store, journalPath());
        QCOMPARE(journal.recoveredDir(), recovered);
        QSignalSpy moved(&journal, &RecordJournal::movedAside);
        RecordHeader header;
        header.application = QStringLiteral("Tevrano");
        journal.begin(header, store.generation());
        QTRY_COMPARE_WITH_TIMEOUT(moved.count(), 1, 5000);
        const QString first = recovered + QStringLiteral("/2026-01-05_14-07-09.txt");
        QCOMPARE(moved.first().first().toString(), first);
        QCOMPARE(readBytes(first), earlier);

        // A second journal of the same start keeps the first one.
        journal.end();
        writeBytes(journalPath(), earlier + "3\t0.02\t21.0\t23.5\t14:07:09:143\n");
        journal.moveAside();
        QTRY_COMPARE_WITH_TIMEOUT(moved.count(), 2, 5000);
        QCOMPARE(moved.last().first().toString(),
                 recovered + QStringLiteral("/2026-01-05_14-07-09_2.txt"));
        QCOMPARE(readBytes(first), earlier);
        QVERIFY(!QFile::exists(journalPath()));
    }
    // Without a readable start the file's own time names it.
    writeBytes(journalPath(), QByteArray("\0\0junk", 6));
    RecordJournal journal(store, journalPath());
    QSignalSpy moved(&journal, &RecordJournal::movedAside);
    journal.moveAside();
    QTRY_COMPARE_WITH_TIMEOUT(moved.count(), 1, 5000);
    const QString name = QFileInfo(moved.first().first().toString()).fileName();
    QVERIFY2(QDateTime::fromString(name, QStringLiteral("yyyy-MM-dd_hh-mm-ss'.txt'")).isValid(),
             qPrintable(name));
}

void tst_RecordJournal::unwritableJournalFailsOnceAndRecordingGoesOn()
{
    // A directory that cannot exist (as root, permissions would not stop the writes).
    const QString blocker = m_dir->filePath(QStringLiteral("plain-file"));
    writeBytes(blocker, "x");
    ChartWidget &chart = m_f->chart;
    chart.setJournalFolder(blocker);
    QSignalSpy failed(chart.journal(), &RecordJournal::failed);
    startRecording(QStringLiteral("10"));
    QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 5000);
    const int before = chart.samples().size();
    QTest::qWait(1500);
    QVERIFY(chart.isRecording());
    QVERIFY(chart.samples().size() > before);
    QCOMPARE(failed.count(), 1);
    chart.on_pushButton_startstop_clicked();
    QTest::qWait(200);
    QCOMPARE(failed.count(), 1);
    QVERIFY(m_f->prompter.messages.isEmpty());
}

void tst_RecordJournal::readsWhatACrashOrAStrangerLeft_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<QVector<double>>("temperatures");
    QTest::addColumn<int>("skipped");
    const QVector<double> two{20.0, 20.5};
    QTest::newRow("complete") << kHeader + kTwoRows << true << two << 0;
    // Cut inside the temperature: as a line it would read as 2.0 degrees.
    QTest::newRow("torn last line") << kHeader + kTwoRows + "3\t0.02\t2" << true << two << 1;
    QTest::newRow("torn first line") << QByteArray("Tevr") << false << QVector<double>() << 0;
    QTest::newRow("garbage between rows")
            << kHeader
                       + "1\t0.00\t20.0\t23.5\t14:07:09:123\n#!?garbage\n\n"
                         "2\t0.01\t20.5\t23.5\t14:07:09:133\n"
            << true << two << 2;
    QTest::newRow("NUL tail of a power cut")
            << kHeader + kTwoRows + QByteArray(4096, '\0') + "\n" + QByteArray(100, '\0') << true
            << two << 2;
    QTest::newRow("NUL bytes inside a row")
            << kHeader + "1\t0.00\t20.0\t23.5\t14:07:09:123\n" + QByteArray("2\0\0\0\0\n", 6)
                       + "3\t0.02\t20.5\t23.5\t14:07:09:133\n"
            << true << two << 1;
    QTest::newRow("another column header")
            << QByteArray("Tevrano\nDataCounts:0\nNr;Zeit;Wert\n1;0.0;20.0\n") << false
            << QVector<double>() << 0;
    QTest::newRow("only NUL bytes") << QByteArray(70000, '\0') << false << QVector<double>() << 0;
    QTest::newRow("empty") << QByteArray() << false << QVector<double>() << 0;
}

void tst_RecordJournal::readsWhatACrashOrAStrangerLeft()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, readable);
    QFETCH(QVector<double>, temperatures);
    QFETCH(int, skipped);
    writeBytes(journalPath(), bytes);
    RecordImport journal;
    QCOMPARE(loadJournalFile(journalPath(), journal), readable);
    if (!readable)
        return;
    QCOMPARE(journal.series.temperatures, temperatures);
    QCOMPARE(journal.skippedLines, skipped);

    // The chart restores exactly that, marked unsaved, and says what it skipped.
    ChartWidget &chart = m_f->chart;
    chart.setJournalFolder(m_dir->path());
    QVERIFY(chart.restoreJournal());
    QCOMPARE(chart.samples().snapshot().temperatures, temperatures);
    QVERIFY(chart.hasUnsavedRecording());
    QCOMPARE(m_f->prompter.messages.size(), skipped > 0 ? 1 : 0);
    if (skipped > 0)
        QVERIFY(m_f->prompter.messages.first().text.contains(QString::number(skipped)));
    QVERIFY(QFile::exists(journalPath()));
}

void tst_RecordJournal::hugeJunkJournalReadsInBoundedMemory()
{
    // 500 MB: a valid start, then a hole of NUL bytes and junk at the end.
    constexpr qint64 kSize = 500LL * 1024 * 1024;
    {
        QFile file(journalPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(kHeader + kTwoRows) > 0);
        QVERIFY(file.resize(kSize - 6));
        QVERIFY(file.seek(kSize - 6));
        QVERIFY(file.write("\x01junk\n", 6) == 6);
    }
    const bool measured = resetPeakResident();
    const long before = statusKiB("VmRSS");
    QElapsedTimer clock;
    clock.start();
    RecordImport journal;
    QVERIFY(loadJournalFile(journalPath(), journal));
    const long grownKiB = statusKiB("VmHWM") - before;
    QCOMPARE(journal.series.temperatures, (QVector<double>{20.0, 20.5}));
    QCOMPARE(journal.skippedLines, 1);
    if (measured)
        QVERIFY2(grownKiB < 64 * 1024, qPrintable(QStringLiteral("grew by %1 KiB").arg(grownKiB)));
    QVERIFY2(clock.elapsed() < 120000, qPrintable(QStringLiteral("%1 ms").arg(clock.elapsed())));
}

QTEST_MAIN(tst_RecordJournal)
#include "tst_recordjournal.moc"
