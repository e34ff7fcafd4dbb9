// The on-disk queue as a crash leaves it, and within its limit.
#include "diskqueue.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

PublishRow row(int i)
{
    const QDateTime start(QDate(2026, 12, 8), QTime(14, 0), Qt::OffsetFromUTC, -5 * 3600);
    return {QString(), start.addMSecs(i * 10), i % 3 ? 20.0 + i : std::nan(""), 21.5, i % 2 == 1};
}

void fill(DiskQueue &queue, int rows)
{
    QString error;
    for (int i = 0; i < rows; ++i)
        QVERIFY2(queue.append(row(i), &error), qPrintable(error));
}

QString onlySegment(const QString &directory)
{
    const QStringList names = QDir(directory).entryList({QStringLiteral("segment-*")}, QDir::Files);
    return names.size() == 1 ? directory + QLatin1Char('/') + names.first() : QString();
}

} // namespace

class tst_DiskQueue : public QObject
{
    Q_OBJECT
private slots:
    void reopenAfterCrash_data();
    void reopenAfterCrash();
    void oldestDroppedAtTheLimit();
};

void tst_DiskQueue::reopenAfterCrash_data()
{
    QTest::addColumn<int>("acknowledged"); // rows confirmed before the crash
    QTest::addColumn<bool>("synced");      // sync() ran after that
    QTest::addColumn<QByteArray>("tail");  // bytes a torn write left after the last record
    QTest::addColumn<bool>("damageLast");  // the last whole record's bytes are garbage
    QTest::addColumn<int>("firstSeq");     // first row read after reopening
    QTest::addColumn<int>("rows");         // rows to read then
    QTest::newRow("clean") << 0 << true << QByteArray() << false << 0 << 5;
    QTest::newRow("torn tail") << 0 << false << QByteArray(17, 'x') << false << 0 << 5;
    QTest::newRow("last record garbage") << 0 << false << QByteArray() << true << 0 << 4;
    QTest::newRow("acknowledged, synced") << 3 << true << QByteArray() << false << 3 << 2;
    QTest::newRow("acknowledged, not yet synced: sent again")
            << 3 << false << QByteArray() << false << 0 << 5;
}

void tst_DiskQueue::reopenAfterCrash()
{
    QFETCH(int, acknowledged);
    QFETCH(bool, synced);
    QFETCH(QByteArray, tail);
    QFETCH(bool, damageLast);
    QFETCH(int, firstSeq);
    QFETCH(int, rows);
    QTemporaryDir dir;
    QString error;
    {
        DiskQueue queue(dir.path());
        QVERIFY(queue.open(&error));
        fill(queue, 5);
        DiskQueue::Entry entry;
        for (int i = 0; i < acknowledged; ++i)
            QVERIFY(queue.readNext(&entry));
        queue.acknowledge(queue.readPosition());
        if (synced)
            QVERIFY(queue.sync(&error));
    }
    QFile segment(onlySegment(dir.path()));
    QVERIFY(segment.open(QIODevice::ReadWrite));
    if (damageLast) {
        QVERIFY(segment.seek(segment.size() - 10));
        segment.write("xxxx");
    }
    QVERIFY(segment.seek(segment.size()));
    segment.write(tail);
    segment.close();

    DiskQueue queue(dir.path());
    QVERIFY(queue.open(&error));
    QCOMPARE(queue.pendingRows(), qint64(rows));
    DiskQueue::Entry entry;
    for (int i = 0; i < rows; ++i) {
        QVERIFY(queue.readNext(&entry));
        QCOMPARE(entry.seq, quint64(firstSeq + i));
        const PublishRow expected = row(firstSeq + i);
        QCOMPARE(entry.row.time, expected.time);
        QCOMPARE(entry.row.time.offsetFromUtc(), expected.time.offsetFromUtc());
        QCOMPARE(std::isnan(entry.row.object), std::isnan(expected.object));
        QCOMPARE(entry.row.fahrenheit, expected.fahrenheit);
    }
    QVERIFY(!queue.readNext(&entry));
    // Seq goes on after the last row that survived, never reusing one a subscriber may have.
    QVERIFY(queue.append(row(9), &error));
    QCOMPARE(queue.nextSeq(), quint64(firstSeq + rows + 1));
}

void tst_DiskQueue::oldestDroppedAtTheLimit()
{
    QTemporaryDir dir;
    QString error;
    const qint64 limit = 1000 * DiskQueue::RecordSize;
    DiskQueue queue(dir.path(), limit);
    QVERIFY(queue.open(&error));
    fill(queue, 5000);
    QVERIFY(queue.bytes() <= limit);
    QCOMPARE(qint64(queue.droppedRows()) + queue.pendingRows(), qint64(5000));
    QVERIFY(queue.droppedRows() >= 4000);
    // What is left are the newest rows, in order.
    DiskQueue::Entry entry;
    QVERIFY(queue.readNext(&entry));
    QCOMPARE(entry.seq, queue.droppedRows());
}

QTEST_GUILESS_MAIN(tst_DiskQueue)
#include "tst_diskqueue.moc"
