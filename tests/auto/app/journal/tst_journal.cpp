// Nothing recorded is lost: the journal of a killed program is offered back at the next start,
// quitting asks what becomes of a recording, and a journal that cannot be written costs one
// status message, never the recording.
#include "../support/windowfixture.h"
#include "chartwidget.h"
#include "recordjournal.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QStatusBar>
#include <QtTest>

#include <algorithm>
#include <cmath>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

struct JournalRow
{
    int index;
    double duration;
    double temperature;
};

QString journalPath()
{
    return QDir(appSettings().settingsDir()).filePath(QStringLiteral("recording.journal"));
}

QString recoveredDir()
{
    return QDir(appSettings().settingsDir()).filePath(QStringLiteral("recovered"));
}

// The complete rows of a journal, read without the program's reader.
QVector<JournalRow> journalRows(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = file.readAll().split('\n');
    lines.removeLast(); // empty, or a torn line
    const int header = lines.indexOf("Index,Duration,Temperature,Tamb,Time");
    QVector<JournalRow> rows;
    for (int i = header + 1; header >= 0 && i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines.at(i).split('\t');
        if (fields.size() == 5)
            rows.append({fields[0].toInt(),
                         fields[1].toDouble(),
                         // An empty field is a gap.
                         fields[2].isEmpty() ? std::nan("") : fields[2].toDouble()});
    }
    return rows;
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write test file");
}

QStringList captions(const AskedQuestion &question)
{
    QStringList texts;
    for (const Messages::Choice &choice : question.choices)
        texts.append(choice.caption);
    return texts;
}

} // namespace

class tst_Journal : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(f.setUp()); }
    void init();
    void cleanup();

    void killedRecordingIsOfferedBack();
    void offerAnswered_data();
    void offerAnswered();
    void quitAsksAboutTheRecording_data();
    void quitAsksAboutTheRecording();
    void startOnUnsavedRecordingAsks_data();
    void startOnUnsavedRecordingAsks();
    void importOnUnsavedRecordingAsks();
    void unwritableSettingsDirCostsOneStatusMessage();
    void journalNotAFileIsLeftAlone_data();
    void journalNotAFileIsLeftAlone();

private:
    MainWindow *openPollingWindow();
    static bool startRecording(MainWindow *window);
    WindowFixture f;
};

void tst_Journal::init()
{
    f.reset();
    QFile::remove(journalPath());
    QDir(journalPath()).removeRecursively();
    QDir(recoveredDir()).removeRecursively();
}

void tst_Journal::cleanup()
{
    Messages::setFileChooser({});
    f.reset();
}

MainWindow *tst_Journal::openPollingWindow()
{
    if (!f.startSimulator())
        return nullptr;
    MainWindow *window = f.openWindow();
    return f.waitUntilPolling() ? window : nullptr;
}

bool tst_Journal::startRecording(MainWindow *window)
{
    window->strip()->startStop();
    return QTest::qWaitFor([window] { return window->chart()->samples().size() > 2; }, 10000);
}

void tst_Journal::killedRecordingIsOfferedBack()
{
    // The real program, unattended, against its own simulated instrument.
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), f.dir.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("TEVRANO_SERIAL_PORTS"), QString());
    child.setProcessEnvironment(environment);
    child.setStandardOutputFile(QProcess::nullDevice());
    child.setStandardErrorFile(QProcess::nullDevice());
    child.start(QStringLiteral(TEVRANO_PROGRAM),
                {QStringLiteral("--demo"), QStringLiteral("--record")});
    QVERIFY(child.waitForStarted());

    // --record: the recording starts by itself once the instrument is found.
    QTRY_VERIFY_WITH_TIMEOUT(!journalRows(journalPath()).isEmpty(), 60000);
    QElapsedTimer recording;
    recording.start();
    qint64 size = QFileInfo(journalPath()).size();
    qint64 lastGrowth = 0;
    qint64 longestPause = 0;
    while (recording.elapsed() < 4000) {
        QTest::qWait(50);
        const qint64 now = QFileInfo(journalPath()).size();
        if (now != size) {
            longestPause = std::max(longestPause, recording.elapsed() - lastGrowth);
            lastGrowth = recording.elapsed();
            size = now;
        }
    }
    longestPause = std::max(longestPause, recording.elapsed() - lastGrowth);
    const double recordedAtLeast = recording.elapsed() / 1000.0;
    child.kill();
    QVERIFY(child.waitForFinished(10000));
    QVERIFY2(longestPause < 2500,
             qPrintable(QStringLiteral("no rows for %1 ms").arg(longestPause)));

    // Every sample up to the last write, none missing.
    const QVector<JournalRow> rows = journalRows(journalPath());
    QVERIFY(rows.size() > 10);
    for (int i = 0; i < rows.size(); ++i)
        QCOMPARE(rows[i].index, i + 1);
    QVERIFY2(rows.last().duration > recordedAtLeast - 2.0,
             qPrintable(QStringLiteral("last row at %1 s of at least %2 s")
                                .arg(rows.last().duration)
                                .arg(recordedAtLeast)));

    f.answers = {QMessageBox::Yes};
    MainWindow *window = f.openWindowWithoutPorts();
    QTRY_COMPARE_WITH_TIMEOUT(f.asked.size(), 1, 10000);
    QCOMPARE(f.asked.first().title, QStringLiteral("恢复记录"));
    QCOMPARE(captions(f.asked.first()), QStringList({QStringLiteral("是"), QStringLiteral("否")}));
    QTRY_COMPARE_WITH_TIMEOUT(window->chart()->samples().size(), rows.size(), 10000);
    const RecordSeries restored = window->chart()->samples().snapshot();
    for (int i = 0; i < rows.size(); ++i) {
        QCOMPARE(restored.durations[i], rows[i].duration);
        QCOMPARE(std::isnan(restored.temperatures[i]), std::isnan(rows[i].temperature));
        if (!std::isnan(rows[i].temperature))
            QCOMPARE(restored.temperatures[i], rows[i].temperature);
    }
    QVERIFY(window->chart()->hasUnsavedRecording());
    QVERIFY(QFile::exists(journalPath()));
}

void tst_Journal::offerAnswered_data()
{
    QTest::addColumn<QByteArray>("journal");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("messages");
    const QByteArray valid = "Tevrano\nDate:2026-01-05 14:07:09:123\nEmissivity:0.95\nUnit:2\n"
                             "DataCounts:0\nIndex,Duration,Temperature,Tamb,Time\n"
                             "1\t0.00\t20.0\t23.5\t14:07:09:123\n";
    QTest::newRow("no: moved aside")
            << valid << int(QMessageBox::No) << QStringList{QStringLiteral("未恢复的记录已移至")};
    QTest::newRow("yes, but not a record: reported and moved aside")
            << QByteArray("Tevrano\n\0\0\0garbage\n", 19) << int(QMessageBox::Yes)
            << QStringList{QStringLiteral("无法识别的文件格式!"),
                           QStringLiteral("未恢复的记录已移至")};
}

void tst_Journal::offerAnswered()
{
    QFETCH(QByteArray, journal);
    QFETCH(int, answer);
    QFETCH(QStringList, messages);
    writeBytes(journalPath(), journal);
    f.answers = {QMessageBox::StandardButton(answer)};
    MainWindow *window = f.openWindowWithoutPorts();
    QTRY_COMPARE_WITH_TIMEOUT(f.shown.size(), messages.size(), 10000);
    for (int i = 0; i < messages.size(); ++i)
        QVERIFY2(f.shown.at(i).text.startsWith(messages.at(i)), qPrintable(f.shown.at(i).text));
    QCOMPARE(f.asked.size(), 1);
    QVERIFY(!QFile::exists(journalPath()));
    const QStringList kept = QDir(recoveredDir()).entryList(QDir::Files);
    QCOMPARE(kept.size(), 1);
    QVERIFY(f.shown.last().text.contains(
            QDir::toNativeSeparators(QDir(recoveredDir()).filePath(kept.first()))));
    QFile moved(QDir(recoveredDir()).filePath(kept.first()));
    QVERIFY(moved.open(QIODevice::ReadOnly));
    QCOMPARE(moved.readAll(), journal);
    QCOMPARE(window->chart()->samples().size(), 0);
    QVERIFY(!window->chart()->hasUnsavedRecording());
}

void tst_Journal::quitAsksAboutTheRecording_data()
{
    QTest::addColumn<int>("state"); // 0 nothing recorded, 1 unsaved recording held, 2 recording
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("systemClose");
    QTest::addColumn<QString>("saveTo");
    QTest::addColumn<bool>("closes");
    const int cancel = QMessageBox::Cancel, discard = QMessageBox::Discard,
              save = QMessageBox::Save;
    QTest::newRow("nothing to keep") << 0 << cancel << false << "" << true;
    QTest::newRow("recording, cancel") << 2 << cancel << false << "" << false;
    QTest::newRow("held, cancel, system close") << 1 << cancel << true << "" << false;
    QTest::newRow("recording, discard, system close") << 2 << discard << true << "" << true;
    QTest::newRow("held, discard") << 1 << discard << false << "" << true;
    QTest::newRow("recording, save") << 2 << save << false << "saved" << true;
    QTest::newRow("recording, save, no file chosen") << 2 << save << false << "" << false;
    QTest::newRow("held, save, system close") << 1 << save << true << "saved" << true;
    QTest::newRow("held, save fails") << 1 << save << false << "missing/saved" << false;
}

void tst_Journal::quitAsksAboutTheRecording()
{
    QFETCH(int, state);
    QFETCH(int, answer);
    QFETCH(bool, systemClose);
    QFETCH(QString, saveTo);
    QFETCH(bool, closes);
    MainWindow *window = nullptr;
    if (state == 0) {
        window = f.openWindowWithoutPorts();
    } else {
        window = openPollingWindow();
        QVERIFY(window);
        QVERIFY(startRecording(window));
        if (state == 1)
            window->strip()->startStop();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(journalPath()), 5000);
    }
    const QString chosen = saveTo.isEmpty() ? QString() : f.dir.filePath(saveTo);
    Messages::setFileChooser(
            [&](Messages::FileAccess, const QString &, const QString &) { return chosen; });
    f.answers = {QMessageBox::StandardButton(answer)};

    const bool closed = systemClose ? static_cast<QWidget *>(window)->close() : window->close();
    QCOMPARE(closed, closes);
    QCOMPARE(window->isVisible(), !closes);
    // A save without a file asks again (the stand-in answers Cancel then).
    QCOMPARE(f.asked.size(), state == 0 ? 0 : closes || answer == QMessageBox::Cancel ? 1 : 2);
    if (state == 0)
        return;
    QCOMPARE(f.asked.first().title, QStringLiteral("提示"));
    QCOMPARE(f.asked.first().text, QStringLiteral("记录尚未保存。退出前要保存吗？"));
    QCOMPARE(captions(f.asked.first()), QStringList({"保存", "放弃", "取消"}));
    // Cancel, or Save without a file, keeps the recording running; every other answer stopped it.
    QCOMPARE(window->chart()->isRecording(),
             state == 2
                     && (answer == QMessageBox::Cancel
                         || (answer == QMessageBox::Save && chosen.isEmpty())));
    if (!chosen.isEmpty() && closes)
        QVERIFY(QFile::exists(chosen + QStringLiteral(".txt")));
    if (!chosen.isEmpty() && !closes)
        QVERIFY2(f.shown.last().text.startsWith(QStringLiteral("无法保存文件 ")),
                 qPrintable(f.shown.last().text));
    const bool kept = answer == QMessageBox::Cancel || !closes;
    QCOMPARE(window->chart()->hasUnsavedRecording(), kept);
    QTRY_COMPARE_WITH_TIMEOUT(QFile::exists(journalPath()), kept, 5000);
}

void tst_Journal::startOnUnsavedRecordingAsks_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("cancel keeps the one held") << int(QMessageBox::Cancel);
    QTest::newRow("discard starts anew") << int(QMessageBox::Discard);
}

// An import replaced an unsaved recording without a word.
void tst_Journal::importOnUnsavedRecordingAsks()
{
    MainWindow *window = openPollingWindow();
    QVERIFY(window);
    QVERIFY(startRecording(window));
    window->strip()->startStop();
    const int held = window->chart()->samples().size();
    const QString file = f.dir.filePath(QStringLiteral("other.txt"));
    Messages::setFileChooser(
            [&](Messages::FileAccess, const QString &, const QString &) { return file; });
    f.answers = {QMessageBox::Cancel};
    window->importRecords();
    QCOMPARE(f.asked.size(), 1);
    QCOMPARE(f.asked.first().text, QStringLiteral("记录尚未保存。导入前要保存吗？"));
    QCOMPARE(window->chart()->samples().size(), held);
    QVERIFY(window->chart()->hasUnsavedRecording());
    window->chart()->discardRecording();
}

void tst_Journal::startOnUnsavedRecordingAsks()
{
    QFETCH(int, answer);
    MainWindow *window = openPollingWindow();
    QVERIFY(window);
    QVERIFY(startRecording(window));
    window->strip()->startStop();
    const int held = window->chart()->samples().size();
    f.answers = {QMessageBox::StandardButton(answer)};
    window->strip()->startStop();
    QCOMPARE(f.asked.size(), 1);
    QCOMPARE(f.asked.first().text, QStringLiteral("记录尚未保存。开始新记录前要保存吗？"));
    const bool started = answer == QMessageBox::Discard;
    QCOMPARE(window->chart()->isRecording(), started);
    if (!started)
        QCOMPARE(window->chart()->samples().size(), held);
    QVERIFY(window->chart()->hasUnsavedRecording());
    if (started) {
        // The discarded recording's journal gives way to the new one's, which is written.
        QTRY_VERIFY_WITH_TIMEOUT(window->chart()->samples().size() >= 3, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(journalPath()), 5000);
        QCOMPARE(window->statusBar()->currentMessage(), QString());
    }
    window->chart()->session().stop();
    window->chart()->discardRecording();
}

void tst_Journal::unwritableSettingsDirCostsOneStatusMessage()
{
    // A settings directory that cannot exist (as root, permissions would not stop the writes).
    const QString blocker = f.dir.filePath(QStringLiteral("plain-file"));
    writeBytes(blocker, "x");
    const QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(blocker + QStringLiteral("/config")));
    appSettings().readFile();
    MainWindow *window = openPollingWindow();
    qputenv("XDG_CONFIG_HOME", configHome);
    appSettings().readFile();
    QVERIFY(window);
    QSignalSpy changes(window->statusBar(), &QStatusBar::messageChanged);
    QVERIFY(startRecording(window));
    QTRY_COMPARE_WITH_TIMEOUT(window->statusBar()->currentMessage(),
                              QStringLiteral("记录日志无法写入，记录只保存在内存中"),
                              5000);
    const int before = window->chart()->samples().size();
    QTest::qWait(1500);
    QVERIFY(window->chart()->isRecording());
    QVERIFY(window->chart()->samples().size() > before);
    int messages = 0;
    for (const QList<QVariant> &change : changes)
        messages += change.first().toString().isEmpty() ? 0 : 1;
    QCOMPARE(messages, 1);
    QVERIFY(f.shown.isEmpty());
}

void tst_Journal::journalNotAFileIsLeftAlone_data()
{
    QTest::addColumn<bool>("fifo");
    QTest::newRow("folder") << false;
#ifdef Q_OS_UNIX
    QTest::newRow("FIFO") << true;
#endif
}

// Something else in the journal's place is neither offered back nor opened (a FIFO would block
// the start for ever): one status line says why, and it stays where it is.
void tst_Journal::journalNotAFileIsLeftAlone()
{
    QFETCH(bool, fifo);
#ifdef Q_OS_UNIX
    if (fifo)
        QCOMPARE(::mkfifo(QFile::encodeName(journalPath()).constData(), 0600), 0);
#endif
    if (!fifo)
        QVERIFY(QDir().mkpath(journalPath()));
    MainWindow *window = f.openWindowWithoutPorts();
    QSignalSpy changes(window->statusBar(), &QStatusBar::messageChanged);
    const QString expected = QStringLiteral("记录日志%1不是普通文件，已忽略")
                                     .arg(QDir::toNativeSeparators(journalPath()));
    const auto shownLines = [&changes, &expected] {
        return std::count_if(changes.cbegin(), changes.cend(), [&expected](const auto &change) {
            return change.first().toString() == expected;
        });
    };
    QTRY_COMPARE_WITH_TIMEOUT(shownLines(), 1, 5000);
    QVERIFY(f.asked.isEmpty());
    QVERIFY(f.shown.isEmpty());
    const QFileInfo kept(journalPath());
    QVERIFY(kept.exists() && !kept.isFile());
    QVERIFY(!window->chart()->hasUnsavedRecording());
}

QTEST_MAIN(tst_Journal)
#include "tst_journal.moc"
