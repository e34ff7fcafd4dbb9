// The recording session and its journal on their own, without a window.
#include "recordingsession.h"
#include "recordjournal.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

Instrument::Reading freshReading(double object)
{
    Instrument::Reading reading;
    reading.object = object;
    reading.ambient = 20.0;
    reading.monotonicMs = RecordingSession::steadyNowMs();
    return reading;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class tst_RecordingSession : public QObject
{
    Q_OBJECT

private slots:
    void lateTicksSkipTheirSlot_data();
    void lateTicksSkipTheirSlot();
    void headerTakesTheInstrumentsEmissivity();
    void journalSyncsWhileTheRecordingRuns();
    void triggerKeepsOnlyItsCapture();
    void strangeJournalNamesAreNeverWaitedOn_data();
    void strangeJournalNamesAreNeverWaitedOn();
};

void tst_RecordingSession::lateTicksSkipTheirSlot_data()
{
    QTest::addColumn<qint64>("elapsed");
    QTest::addColumn<qint64>("lastSlot");
    QTest::addColumn<qint64>("lastTaken");
    QTest::addColumn<bool>("due");
    QTest::addColumn<qint64>("slot");
    QTest::addColumn<qint64>("delay");
    QTest::newRow("early") << qint64(19) << qint64(1) << qint64(10) << false << qint64(1)
                           << qint64(1);
    QTest::newRow("on time") << qint64(20) << qint64(1) << qint64(10) << true << qint64(2)
                             << qint64(10);
    QTest::newRow("two slots late")
            << qint64(47) << qint64(1) << qint64(10) << true << qint64(4) << qint64(3);
    // The sample before came late in its slot: the next keeps half an interval from it, so the
    // two never share a millisecond.
    QTest::newRow("right after a late one")
            << qint64(20) << qint64(1) << qint64(19) << false << qint64(1) << qint64(4);
}

void tst_RecordingSession::lateTicksSkipTheirSlot()
{
    QFETCH(qint64, elapsed);
    QFETCH(qint64, lastSlot);
    QFETCH(qint64, lastTaken);
    QFETCH(bool, due);
    QFETCH(qint64, slot);
    QFETCH(qint64, delay);
    // Every 10 ms: a late tick takes one sample, in the slot it is in, never one per missed slot.
    const SamplingSlot next = samplingSlot(elapsed, 10, lastSlot, lastTaken);
    QCOMPARE(next.due, due);
    QCOMPARE(next.slot, slot);
    QCOMPARE(next.delayMs, delay);
}

void tst_RecordingSession::headerTakesTheInstrumentsEmissivity()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("recording.journal"));
    Instrument instrument;
    RecordingSession session;
    session.attach(&instrument);
    emit instrument.connectionStateChanged(Instrument::ConnectionState::Connected);
    session.setInterval(1000000);
    session.setJournalPath(path);
    session.start();
    session.feed(freshReading(30.0));
    // Without the emissivity the first sample waits for it, or for the instrument's time to say.
    QVERIFY(!session.isSampling());
    emit instrument.parameterRead(Instrument::Parameter::Emissivity, 0.95);
    QVERIFY(session.isSampling());
    QCOMPARE(session.header().emissivity, 0.95f);
    session.stop();
    QTRY_VERIFY_WITH_TIMEOUT(readAll(path).contains("\n1\t"), 5000);
    QVERIFY(readAll(path).contains("\nEmissivity:0.95\n"));
}

void tst_RecordingSession::journalSyncsWhileTheRecordingRuns()
{
    QTemporaryDir dir;
    RecordingSession session;
    session.setInterval(50);
    session.setJournalPath(dir.filePath(QStringLiteral("recording.journal")));
    QTimer readings;
    connect(&readings, &QTimer::timeout, &session, [&] { session.feed(freshReading(25.0)); });
    readings.start(100);
    session.start();
    QTRY_VERIFY_WITH_TIMEOUT(session.isSampling(), 5000);
    const int atStart = session.journal()->syncCount();
    // Rows keep coming; the disk sees them every few seconds, not only at the end.
    QTRY_VERIFY_WITH_TIMEOUT(session.journal()->syncCount() > atStart, 15000);
    session.stop();
}

void tst_RecordingSession::triggerKeepsOnlyItsCapture()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("recording.journal"));
    RecordingSession session;
    session.setInterval(20);
    session.setJournalPath(path);
    Trigger trigger;
    trigger.level = 50;
    trigger.preS = 0.3;
    trigger.postS = 0.3;
    trigger.once = true;
    session.setTrigger(trigger);
    double level = 20.0;
    QTimer readings;
    connect(&readings, &QTimer::timeout, &session, [&] { session.feed(freshReading(level)); });
    readings.start(10);
    QSignalSpy finished(&session, &RecordingSession::finished);
    session.start();
    QTRY_VERIFY_WITH_TIMEOUT(session.isSampling(), 5000);
    QTest::qWait(800);
    QCOMPARE(session.samples().size(), 0); // held back, not kept
    level = 60.0;
    QTest::qWait(500);
    level = 20.0;
    // Once: it ends by itself after the capture.
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
    QVERIFY(!session.isRecording());

    const RecordSeries kept = session.samples().snapshot();
    QVERIFY(kept.durations.size() > 3);
    QCOMPARE(kept.temperatures.constFirst(), 20.0);
    QCOMPARE(kept.temperatures.constLast(), 20.0);
    double spacing = 0;
    for (int i = 1; i < kept.durations.size(); ++i)
        spacing = std::max(spacing, kept.durations[i] - kept.durations[i - 1]);
    const int crossing = int(kept.temperatures.indexOf(60.0));
    const int cleared = int(kept.temperatures.indexOf(20.0, crossing));
    QVERIFY(crossing > 0 && cleared > crossing);
    const double first = kept.durations.constFirst();
    QVERIFY2(kept.durations[crossing] - first <= trigger.preS + spacing,
             qPrintable(QString::number(spacing)));
    QVERIFY(kept.durations.constLast() - kept.durations[cleared] <= trigger.postS + spacing);
    // The recording's clock, not the capture's.
    QVERIFY(first > 0.3);

    const QVector<Marker> expected{{first, QStringLiteral("trigger: above 50.0")}};
    QCOMPARE(session.markers(), expected);
    RecordImport journal;
    QVERIFY(loadJournalFile(path, journal));
    QCOMPARE(journal.markers.size(), 1);
    QCOMPARE(journal.markers[0].text, expected[0].text);
    QCOMPARE(journal.series.durations.size(), kept.durations.size());
}

void tst_RecordingSession::strangeJournalNamesAreNeverWaitedOn_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("dangling link") << "link";
#ifdef Q_OS_UNIX
    QTest::newRow("FIFO") << "fifo";
#endif
    QTest::newRow("folder") << "folder";
}

void tst_RecordingSession::strangeJournalNamesAreNeverWaitedOn()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("recording.journal"));
    if (kind == "link")
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")), path));
    else if (kind == "folder")
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("recording.journal")));
#ifdef Q_OS_UNIX
    else
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
#endif
    // Restoring refuses it at once.
    RecordImport restored;
    QString error;
    QVERIFY(!loadJournalFile(path, restored, {}, &error));
    QVERIFY(!error.isEmpty());

    // A recording moves it aside under a visible name and journals in its place.
    RecordingSession session;
    session.setJournalPath(path);
    QSignalSpy moved(session.journal(), &RecordJournal::movedAside);
    session.start();
    session.feed(freshReading(25.0));
    QVERIFY(session.isSampling());
    QTRY_COMPARE_WITH_TIMEOUT(moved.count(), 1, 5000);
    const QString target = moved.first().first().toString();
    QVERIFY2(!target.isEmpty() && !QFileInfo(target).fileName().startsWith(QLatin1Char('.')),
             qPrintable(target));
    session.stop();
    QTRY_VERIFY_WITH_TIMEOUT(readAll(path).startsWith(QCoreApplication::applicationName().toUtf8()),
                             5000);
}

QTEST_GUILESS_MAIN(tst_RecordingSession)
#include "tst_recordingsession.moc"
