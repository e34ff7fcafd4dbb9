// Several sessions recorded as one: the shared time axis, a lost instrument, their journals.
#include "recordinggroup.h"
#include "recordjournal.h"

#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cmath>

namespace {

constexpr int IntervalMs = 50;

Instrument::Reading freshReading(double object)
{
    Instrument::Reading reading;
    reading.object = object;
    reading.ambient = 20.0;
    reading.monotonicMs = RecordingSession::steadyNowMs();
    return reading;
}

// Feeds every session of the group whose instrument is "connected" a fresh reading, as a poll
// loop would.
class Feeder
{
public:
    explicit Feeder(RecordingGroup &group)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [&group, this] {
            for (const QString &serial : group.serials()) {
                if (!m_silent.contains(serial))
                    group.session(serial)->feed(freshReading(30.0));
            }
        });
        m_timer.start(10);
    }
    void silence(const QString &serial, bool silent)
    {
        if (silent)
            m_silent.insert(serial);
        else
            m_silent.remove(serial);
    }

private:
    QTimer m_timer;
    QSet<QString> m_silent;
};

qint64 slotOf(double duration)
{
    return std::llround(duration * 1000.0 / IntervalMs);
}

} // namespace

class tst_RecordingGroup : public QObject
{
    Q_OBJECT

private slots:
    void sessionsShareTheOriginAndLineUp();
    void aLostInstrumentLeavesGapsInItsRowsOnly();
    void journalsOfEveryInstrumentAreRestored();
    void filesLoadOntoOneTimeAxis();
};

void tst_RecordingGroup::sessionsShareTheOriginAndLineUp()
{
    RecordingGroup group;
    group.setInterval(IntervalMs);
    RecordingSession *first = group.add(QStringLiteral("A"));
    Feeder feeder(group);
    QSignalSpy started(&group, &RecordingGroup::started);
    group.start();
    QTRY_VERIFY_WITH_TIMEOUT(first->samples().size() >= 3, 5000);
    // One plugged in while recording joins the running time axis.
    RecordingSession *late = group.add(QStringLiteral("B"));
    QVERIFY(late->isRecording());
    QTRY_VERIFY_WITH_TIMEOUT(late->samples().size() >= 10, 5000);
    group.stop();
    QCOMPARE(started.count(), 1);
    QCOMPARE(late->startMsecs(), first->startMsecs());
    QCOMPARE(late->startMsecs(), group.startMsecs());

    const RecordSeries a = first->samples().snapshot();
    const RecordSeries b = late->samples().snapshot();
    QVERIFY(b.durations.first() >= IntervalMs / 1000.0);
    QHash<qint64, double> bySlot;
    for (double duration : a.durations)
        bySlot.insert(slotOf(duration), duration);
    for (double duration : b.durations) {
        const qint64 slot = slotOf(duration);
        QVERIFY2(bySlot.contains(slot), qPrintable(QString::number(duration)));
        // Taken in the same step of one clock: the same time but for the step's own length.
        QVERIFY2(std::abs(bySlot.value(slot) - duration) < 0.005,
                 qPrintable(QStringLiteral("%1 vs %2").arg(bySlot.value(slot)).arg(duration)));
    }
}

void tst_RecordingGroup::aLostInstrumentLeavesGapsInItsRowsOnly()
{
    RecordingGroup group;
    group.setInterval(IntervalMs);
    RecordingSession *steady = group.add(QStringLiteral("A"));
    RecordingSession *flaky = group.add(QStringLiteral("B"));
    Feeder feeder(group);
    group.start();
    QTRY_VERIFY_WITH_TIMEOUT(flaky->samples().size() >= 3, 5000);

    // Counted first: a sample the clock takes in between is still whole.
    const int lostAt = flaky->samples().size();
    feeder.silence(QStringLiteral("B"), true);
    flaky->setConnectionState(Instrument::ConnectionState::Lost);
    QTRY_VERIFY_WITH_TIMEOUT(flaky->samples().size() >= lostAt + 5, 5000);
    feeder.silence(QStringLiteral("B"), false);
    flaky->setConnectionState(Instrument::ConnectionState::Connected);
    const int backAt = flaky->samples().size();
    QTRY_VERIFY_WITH_TIMEOUT(flaky->samples().size() >= backAt + 5, 5000);
    group.stop();
    QVERIFY(group.isRecording() == false && !flaky->isRecording());

    const RecordSeries whole = steady->samples().snapshot();
    QVERIFY(std::none_of(whole.temperatures.cbegin(), whole.temperatures.cend(), [](double t) {
        return std::isnan(t);
    }));
    const RecordSeries gapped = flaky->samples().snapshot();
    QVERIFY(std::isfinite(gapped.temperatures.at(lostAt - 1)));
    for (int i = lostAt + 1; i < lostAt + 5; ++i)
        QVERIFY2(std::isnan(gapped.temperatures.at(i)), qPrintable(QString::number(i)));
    QVERIFY(std::isfinite(gapped.temperatures.last()));
    // Both went on in the same slots throughout.
    QCOMPARE(slotOf(gapped.durations.last()), slotOf(whole.durations.last()));
}

void tst_RecordingGroup::journalsOfEveryInstrumentAreRestored()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QStringList serials{QStringLiteral("SN-100"), QStringLiteral("a/b:c%d")};
    QHash<QString, int> recorded;
    {
        RecordingGroup group;
        group.setInterval(IntervalMs);
        group.setJournalFolder(dir.path());
        for (const QString &serial : serials)
            group.add(serial);
        Feeder feeder(group);
        group.start();
        QTRY_VERIFY_WITH_TIMEOUT(group.session(serials.last())->samples().size() >= 5, 5000);
        group.stop();
        for (const QString &serial : serials)
            recorded.insert(serial, group.session(serial)->samples().size());
        // The run ends without saving or discarding: as a crash leaves it.
    }
    // A file that only looks like one is passed over.
    QFile other(dir.filePath(QStringLiteral("recordings.journal")));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.close();

    const QVector<FoundJournal> found = findGroupJournals(dir.path());
    QCOMPARE(found.size(), serials.size());
    RecordingGroup restored;
    QCOMPARE(restored.restoreJournals(found), serials.size());
    QCOMPARE(QSet<QString>(restored.serials().cbegin(), restored.serials().cend()),
             QSet<QString>(serials.cbegin(), serials.cend()));
    for (const QString &serial : serials)
        QCOMPARE(restored.session(serial)->samples().size(), recorded.value(serial));
    QVERIFY(restored.hasUnsaved());
    restored.discard();
    // Removal runs on the journals' own threads.
    QTRY_VERIFY_WITH_TIMEOUT(findGroupJournals(dir.path()).isEmpty(), 5000);

    // Alone, the journal keeps the name it always had.
    QCOMPARE(QFileInfo(groupJournalPath(dir.path(), serials.first(), true)).fileName(),
             QStringLiteral("recording.journal"));
}

void tst_RecordingGroup::filesLoadOntoOneTimeAxis()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const qint64 start = QDateTime(QDate(2026, 5, 4), QTime(10, 0)).toMSecsSinceEpoch();
    // The later file first: the time axis starts with the earliest, whatever the order.
    const QStringList paths{dir.filePath(QStringLiteral("kiln-Top.txt")),
                            dir.filePath(QStringLiteral("kiln-Bottom.txt"))};
    const qint64 starts[] = {start + 1500, start};
    for (int i = 0; i < 2; ++i) {
        RecordHeader header;
        header.startMsecs = starts[i];
        header.markers = {{0.5, QStringLiteral("door")}};
        QVERIFY(saveRecordFile(paths.at(i), header, {{0.0, 0.5}, {30.0, 31.0}, {20.0, 20.0}}));
    }

    RecordingGroup group;
    QVERIFY(group.loadFiles(paths));
    QCOMPARE(group.serials(),
             (QStringList{QStringLiteral("kiln-Top"), QStringLiteral("kiln-Bottom")}));
    RecordingSession *later = group.session(QStringLiteral("kiln-Top"));
    QCOMPARE(later->startMsecs(), std::optional<qint64>(start));
    QCOMPARE(later->samples().snapshot().durations, (QVector<double>{1.5, 2.0}));
    QCOMPARE(later->markers().value(0).seconds, 2.0);
    QCOMPARE(group.session(QStringLiteral("kiln-Bottom"))->samples().snapshot().durations,
             (QVector<double>{0.0, 0.5}));

    QString error;
    QVERIFY(!group.loadFiles({dir.filePath(QStringLiteral("missing.txt"))}, &error));
    QVERIFY(!error.isEmpty());

    // An instrument joining the files goes first, so they can make way for its recording,
    // which journals under the name one instrument's recording always had.
    group.setJournalFolder(dir.path());
    RecordingSession *joined = group.add(QStringLiteral("SN-1"), RecordingGroup::Place::First);
    QCOMPARE(group.serials().constFirst(), QStringLiteral("SN-1"));
    QVERIFY(group.remove(QStringLiteral("kiln-Top"))
            && group.remove(QStringLiteral("kiln-Bottom")));
    group.start();
    QCOMPARE(QFileInfo(joined->journal()->path()).fileName(), QStringLiteral("recording.journal"));
    group.stop();
    group.discard();
}

QTEST_GUILESS_MAIN(tst_RecordingGroup)
#include "tst_recordinggroup.moc"
