// tevrano-log as a user runs it, against the simulated instrument on a pseudo-terminal.
#include "../../simulators.h"
#include "instrumentsimulator.h"
#include "mqtttest.h"
#include "recordfile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <csignal>
#include <memory>
#include <vector>

namespace {

constexpr double Object = 25.0;
constexpr double Ambient = 23.5;
constexpr char SimSerial[] = "20261207"; // the simulator's own

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// The ports the program may search: only these, never the machine's own.
QProcessEnvironment environmentWithPorts(const QStringList &ports)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TEVRANO_SERIAL_PORTS"), ports.join(QLatin1Char(':')));
    return environment;
}

void startLogger(QProcess &process, const QStringList &ports, const QStringList &arguments)
{
    process.setProcessEnvironment(environmentWithPorts(ports));
    process.start(QStringLiteral(TEVRANO_LOG_PATH), arguments);
}

Run runLogger(const QStringList &ports, const QStringList &arguments, int timeoutMs = 60000)
{
    QProcess process;
    startLogger(process, ports, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(),
            process.readAllStandardError()};
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The object temperatures of the jsonl rows so far; NaN for gaps.
QVector<double> jsonlObjects(const QByteArray &bytes)
{
    QVector<double> objects;
    for (const QByteArray &line : bytes.split('\n')) {
        if (line.isEmpty())
            continue;
        const QJsonValue value
                = QJsonDocument::fromJson(line).object().value(QStringLiteral("object"));
        objects.append(value.isDouble() ? value.toDouble() : std::nan(""));
    }
    return objects;
}

// The markers of a jsonl file by row.
QMap<int, QString> jsonlMarkers(const QByteArray &bytes)
{
    QMap<int, QString> markers;
    const QList<QByteArray> lines = bytes.trimmed().split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QJsonValue value
                = QJsonDocument::fromJson(lines[i]).object().value(QStringLiteral("marker"));
        if (value.isString())
            markers.insert(i, value.toString());
    }
    return markers;
}

// The gap rows at the end, NaN objects.
int trailingGaps(const QVector<double> &objects)
{
    int gaps = 0;
    while (gaps < objects.size() && std::isnan(objects[objects.size() - 1 - gaps]))
        ++gaps;
    return gaps;
}

// Each reads Object plus its serial number's last three digits.
double objectOf(quint32 serial)
{
    return Object + serial % 1000;
}

bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QTest::qWait(50);
    }
    return true;
}

} // namespace

class tst_TevranoLog : public QObject
{
    Q_OBJECT
private slots:
    void formats_data();
    void formats();
    void stoppedMidRunLeavesWholeRecord_data();
    void stoppedMidRunLeavesWholeRecord();
    void unplugGivesGapsThenValues_data();
    void unplugGivesGapsThenValues();
    void rowsReachRedirectedOutputAsTaken();
    void closedPipeEndsTheRun_data();
    void closedPipeEndsTheRun();
    void appendAddsRowsUnderOneHeader();
    void triggeredCapture();
    void triggerThatNeverFires_data();
    void triggerThatNeverFires();
    void noInstrument_data();
    void noInstrument();
    void severalInstruments_data();
    void severalInstruments();
    void recordFilePerInstrument();
    void publishesEachInstrumentUnderItsSerial();
    void refusedBeforeAnyPort_data();
    void refusedBeforeAnyPort();
};

void tst_TevranoLog::formats_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("crc");
    QTest::newRow("record") << "record" << false;
    QTest::newRow("csv") << "csv" << false;
    QTest::newRow("jsonl") << "jsonl" << false;
    QTest::newRow("csv, CRC framing") << "csv" << true;
}

void tst_TevranoLog::formats()
{
    QFETCH(QString, format);
    QFETCH(bool, crc);
    InstrumentSimulator::Config config;
    config.framing = crc ? SimProtocol::Framing::Crc : SimProtocol::Framing::Xor;
    InstrumentSimulator sim(config);
    QVERIFY(sim.start());
    sim.setObjectTemperature(Object);
    sim.setAmbientTemperature(Ambient);

    QTemporaryDir dir;
    const QString path
            = dir.filePath(QStringLiteral("log.") + (format == "record" ? "txt" : format));
    // The record format comes from the ".txt" name alone.
    QStringList arguments{"--interval", "100", "--duration", "1.5", "--output", path};
    if (format != "record")
        arguments << "--format" << format;
    const Run run = runLogger({sim.devicePath()}, arguments);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QByteArray()); // no terminal, so no status line
    QCOMPARE(run.out, QByteArray());
    const int rows = 15;

    if (format == "record") {
        // Imported by the chart's reader as it is.
        RecordImport imported;
        QVERIFY(loadRecordFile(path, imported));
        QCOMPARE(imported.dataCount, rows);
        QCOMPARE(imported.unit.value_or(0), 2);
        QCOMPARE(imported.emissivity.value_or(0.0f), 0.95f); // the simulator's
        QCOMPARE(imported.series.temperatures, QVector<double>(rows, Object));
        QCOMPARE(imported.series.ambients, QVector<double>(rows, Ambient));
        QVERIFY(std::is_sorted(imported.series.durations.cbegin(),
                               imported.series.durations.cend()));
        QVERIFY(imported.series.durations.last() > 1.2 && imported.series.durations.last() < 2.5);
        return;
    }

    const QList<QByteArray> lines = readFile(path).split('\n');
    QCOMPARE(lines.last(), QByteArray()); // every row is whole
    const QRegularExpression iso(
            QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d$)"));
    double previous = -1;
    if (format == "csv") {
        QCOMPARE(lines.size(), rows + 2);
        QCOMPARE(lines.first(), QByteArray("time,elapsed_s,object,ambient,unit,marker,instrument"));
        for (int i = 1; i <= rows; ++i) {
            const QList<QByteArray> fields = lines[i].split(',');
            QCOMPARE(fields.size(), 7);
            QVERIFY2(iso.match(QString::fromLatin1(fields[0])).hasMatch(), fields[0]);
            QVERIFY(QRegularExpression(QStringLiteral(R"(^\d+\.\d{3}$)"))
                            .match(QString::fromLatin1(fields[1]))
                            .hasMatch());
            QVERIFY(fields[1].toDouble() > previous);
            previous = fields[1].toDouble();
            QCOMPARE(fields.mid(2), QList<QByteArray>({"25.0", "23.5", "°C", "", SimSerial}));
        }
    } else {
        QCOMPARE(lines.size(), rows + 1);
        for (int i = 0; i < rows; ++i) {
            const QJsonObject row = QJsonDocument::fromJson(lines[i]).object();
            QVERIFY2(iso.match(row.value("time").toString()).hasMatch(), lines[i]);
            QVERIFY(row.value("elapsed_s").toDouble() > previous);
            previous = row.value("elapsed_s").toDouble();
            QCOMPARE(row.value("object").toDouble(), Object);
            QCOMPARE(row.value("ambient").toDouble(), Ambient);
            QCOMPARE(row.value("unit").toString(), QStringLiteral("°C"));
            QCOMPARE(row.value("instrument").toString(), QString::fromLatin1(SimSerial));
        }
    }
}

void tst_TevranoLog::stoppedMidRunLeavesWholeRecord_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void tst_TevranoLog::stoppedMidRunLeavesWholeRecord()
{
    QFETCH(int, signal);
    InstrumentSimulator sim({});
    QVERIFY(sim.start());
    sim.setObjectTemperature(Object);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.txt"));
    QProcess process;
    startLogger(process, {sim.devicePath()}, {"--interval", "20", "--output", path});
    // Rows reach the file while the program runs.
    QVERIFY(waitFor([&] { return readFile(path).count('\n') > 20; }, 30000));
    ::kill(pid_t(process.processId()), SIGUSR1);
    const int before = readFile(path).count('\n');
    QVERIFY(waitFor([&] { return readFile(path).count('\n') > before + 2; }, 30000));
    ::kill(pid_t(process.processId()), signal);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);

    RecordImport imported;
    QVERIFY(loadRecordFile(path, imported));
    QVERIFY(imported.dataCount > 13);
    QCOMPARE(imported.series.temperatures.size(), imported.dataCount);
    QCOMPARE(imported.series.temperatures.last(), Object);
    QCOMPARE(imported.markers.size(), 1);
    QCOMPARE(imported.markers.first().text, QStringLiteral("external"));
    QVERIFY(imported.markers.first().seconds > 0);
}

void tst_TevranoLog::unplugGivesGapsThenValues_data()
{
    QTest::addColumn<bool>("givenPort");
    QTest::newRow("found by the search") << false;
    QTest::newRow("given with --port") << true;
}

void tst_TevranoLog::unplugGivesGapsThenValues()
{
    QFETCH(bool, givenPort);
    QTemporaryDir dir;
    InstrumentSimulator::Config config;
    config.linkPath = dir.filePath(QStringLiteral("ttyPYRO"));
    InstrumentSimulator sim(config);
    QVERIFY(sim.start());
    sim.setObjectTemperature(Object);
    const QString path = dir.filePath(QStringLiteral("run.jsonl"));
    QProcess process;
    QStringList arguments{"--interval", "100", "--format", "jsonl", "--output", path};
    if (givenPort)
        arguments << "--port" << config.linkPath;
    startLogger(process, givenPort ? QStringList() : QStringList{sim.devicePath()}, arguments);
    const auto objects = [&] {
        return jsonlObjects(readFile(path));
    };
    QVERIFY(waitFor([&] { return objects().size() >= 5; }, 30000));

    sim.unplug();
    QVERIFY(waitFor([&] { return trailingGaps(objects()) >= 10; }, 30000));
    QVERIFY(sim.replug());
    QVERIFY(waitFor([&] { return objects().size() > 0 && trailingGaps(objects()) == 0; }, 30000));
    process.terminate();
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);

    // Values, then only gaps while the instrument was away, then values again.
    const QVector<double> o = objects();
    const auto isGap = [](double v) {
        return std::isnan(v);
    };
    const int firstGap = int(std::find_if(o.cbegin(), o.cend(), isGap) - o.cbegin());
    const int back = int(std::find_if_not(o.cbegin() + firstGap, o.cend(), isGap) - o.cbegin());
    QVERIFY(firstGap >= 5);
    QVERIFY(back >= firstGap + 10);
    QVERIFY(back < o.size());
    for (int i = 0; i < back; ++i)
        QVERIFY2(i >= firstGap ? std::isnan(o[i]) : o[i] == Object, qPrintable(QString::number(i)));
    // After the return, the instrument re-reads its parameters on the logger's thread, one
    // blocking request at a time; readings it cannot take in meanwhile count as gaps, at most
    // about a second of them.
    const int late = int(std::count_if(o.cbegin() + back, o.cend(), isGap));
    QVERIFY2(late <= 12, qPrintable(QString::number(late)));
    QVERIFY(std::all_of(
            o.cbegin() + back, o.cend(), [](double v) { return std::isnan(v) || v == Object; }));
    // The loss and the return are marked where they happened, on a gap and on the way back.
    const QMap<int, QString> markers = jsonlMarkers(readFile(path));
    QCOMPARE(markers.values(), QStringList({"instrument lost", "instrument back"}));
    QVERIFY(markers.firstKey() > 0 && markers.firstKey() <= back);
    QVERIFY(markers.lastKey() > markers.firstKey());
}

void tst_TevranoLog::rowsReachRedirectedOutputAsTaken()
{
    InstrumentSimulator sim({});
    QVERIFY(sim.start());
    sim.setObjectTemperature(Object);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.csv"));
    QProcess process;
    process.setStandardOutputFile(path);
    startLogger(process, {sim.devicePath()}, {"--interval", "500"});
    // Header and rows while the program runs, long before a stdio buffer would fill, and still
    // there after it is killed.
    QVERIFY(waitFor([&] { return readFile(path).count('\n') >= 4; }, 15000));
    process.kill();
    QVERIFY(process.waitForFinished(10000));
    QVERIFY(readFile(path).count('\n') >= 4);
}

void tst_TevranoLog::closedPipeEndsTheRun_data()
{
    QTest::addColumn<bool>("ignored");
    QTest::newRow("SIGPIPE as inherited") << false;
    QTest::newRow("SIGPIPE ignored, as under a service manager") << true;
}

void tst_TevranoLog::closedPipeEndsTheRun()
{
    QFETCH(bool, ignored);
    InstrumentSimulator sim({});
    QVERIFY(sim.start());
    sim.setObjectTemperature(Object);
    // The reader takes the header and two rows and goes; the run has no duration of its own.
    const QString script = QStringLiteral("%1 \"$0\" --interval 300 | head -n 3 >/dev/null; "
                                          "echo ${PIPESTATUS[0]}")
                                   .arg(ignored ? "trap '' PIPE;" : "");
    QProcess shell;
    shell.setProcessEnvironment(environmentWithPorts({sim.devicePath()}));
    shell.start(QStringLiteral("bash"), {"-c", script, QStringLiteral(TEVRANO_LOG_PATH)});
    QVERIFY(shell.waitForFinished(30000));
    QCOMPARE(shell.readAllStandardOutput().trimmed(), QByteArray("0"));
}

void tst_TevranoLog::appendAddsRowsUnderOneHeader()
{
    InstrumentSimulator sim({});
    QVERIFY(sim.start());
    sim.setObjectTemperature(Object);
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("log.csv"));
    const QStringList arguments{"--interval", "100", "--duration", "0.5", "--append"};
    for (int run = 0; run < 2; ++run)
        QCOMPARE(runLogger({sim.devicePath()}, arguments + QStringList{"--output", csv}).exitCode,
                 0);
    const QByteArray rows = readFile(csv);
    QCOMPARE(rows.count("time,elapsed_s"), 1);
    QCOMPARE(rows.count('\n'), 1 + 2 * 5);

    // Rows of another format are no place for csv rows; the file stays as it was.
    const QString jsonl = dir.filePath(QStringLiteral("log.jsonl"));
    const QByteArray earlier = "{\"time\":\"2026-01-05T14:07:09.123+01:00\"}\n";
    QFile file(jsonl);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(earlier) == earlier.size());
    file.close();
    const Run refused = runLogger({sim.devicePath()},
                                  arguments + QStringList{"--format", "csv", "--output", jsonl});
    QCOMPARE(refused.exitCode, 3);
    QCOMPARE(readFile(jsonl), earlier);

    // A file from before the instrument field keeps its layout, but cannot tell several
    // instruments apart.
    const QString old = dir.filePath(QStringLiteral("old.csv"));
    const QByteArray oldRows = "time,elapsed_s,object,ambient,unit,marker\n"
                               "2026-01-05T14:07:09.123+01:00,0.000,25.0,23.5,°C,\n";
    QFile oldFile(old);
    QVERIFY(oldFile.open(QIODevice::WriteOnly) && oldFile.write(oldRows) == oldRows.size());
    oldFile.close();
    QCOMPARE(runLogger({sim.devicePath()}, arguments + QStringList{"--all", "--output", old})
                     .exitCode,
             3);
    QCOMPARE(readFile(old), oldRows);
    QCOMPARE(runLogger({sim.devicePath()}, arguments + QStringList{"--output", old}).exitCode, 0);
    const QList<QByteArray> lines = readFile(old).trimmed().split('\n');
    QCOMPARE(lines.size(), 2 + 5);
    for (const QByteArray &line : lines.mid(1))
        QCOMPARE(line.split(',').size(), 6);
}

void tst_TevranoLog::triggeredCapture()
{
    InstrumentSimulator sim({});
    QVERIFY(sim.start());
    sim.setObjectTemperature(20.0);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("capture.csv"));
    QProcess process;
    startLogger(process,
                {sim.devicePath()},
                {"--interval",
                 "100",
                 "--output",
                 path,
                 "--trigger-above",
                 "40",
                 "--pre",
                 "1",
                 "--post",
                 "1",
                 "--once"});
    // Once the logger polls, 20 degrees for 3 s, then 60 for 3 s, and so on.
    QVERIFY(waitFor([&] { return sim.receivedFrames().size() > 5; }, 30000));
    sim.setProfile(TemperatureProfile::parse(QStringLiteral("square:20:60:6")));
    // --once: it ends by itself after the first capture.
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);

    const QList<QByteArray> lines = readFile(path).trimmed().split('\n');
    QCOMPARE(lines.first(), QByteArray("time,elapsed_s,object,ambient,unit,marker,instrument"));
    QVector<double> elapsed;
    QVector<double> object;
    for (const QByteArray &line : lines.mid(1)) {
        const QList<QByteArray> fields = line.split(',');
        QCOMPARE(fields.size(), 7);
        QCOMPARE(fields[5], line == lines[1] ? QByteArray("trigger: above 40.0") : QByteArray());
        elapsed.append(fields[1].toDouble());
        object.append(fields[2].toDouble());
    }
    // One sample either way, whatever the rows' spacing on a busy machine.
    double sample = 0;
    for (int i = 1; i < elapsed.size(); ++i)
        sample = std::max(sample, elapsed[i] - elapsed[i - 1]);
    QVERIFY(sample < 1.0);
    const int crossing = int(std::find(object.cbegin(), object.cend(), 60.0) - object.cbegin());
    const int cleared
            = int(std::find(object.cbegin() + crossing, object.cend(), 20.0) - object.cbegin());
    QVERIFY(crossing > 0 && cleared < object.size());
    QVERIFY(object.mid(0, crossing) == QVector<double>(crossing, 20.0));
    QVERIFY2(std::abs(elapsed[crossing] - elapsed.first() - 1.0) <= sample,
             qPrintable(QString::number(elapsed[crossing] - elapsed.first())));
    QVERIFY2(std::abs(elapsed.last() - elapsed[cleared] - 1.0) <= sample,
             qPrintable(QString::number(elapsed.last() - elapsed[cleared])));
    // The run's clock, not the capture's.
    QVERIFY(elapsed.first() > 0.5);
}

void tst_TevranoLog::triggerThatNeverFires_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("csv") << "never.csv";
    QTest::newRow("jsonl") << "never.jsonl";
    QTest::newRow("record") << "never.txt";
}

void tst_TevranoLog::triggerThatNeverFires()
{
    QFETCH(QString, name);
    InstrumentSimulator sim({});
    QVERIFY(sim.start());
    sim.setObjectTemperature(Object);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QStringList arguments{
            "--interval", "100", "--duration", "1", "--output", path, "--trigger-above", "1000"};
    if (name.endsWith(QLatin1String(".jsonl")))
        arguments << "--format"
                  << "jsonl";
    const Run run = runLogger({sim.devicePath()}, arguments);
    QCOMPARE(run.exitCode, 0);
    if (name.endsWith(QLatin1String(".csv"))) {
        QCOMPARE(readFile(path),
                 QByteArray("time,elapsed_s,object,ambient,unit,marker,instrument\n"));
    } else if (name.endsWith(QLatin1String(".jsonl"))) {
        QCOMPARE(readFile(path), QByteArray());
    } else {
        RecordImport imported;
        QVERIFY(loadRecordFile(path, imported));
        QCOMPARE(imported.dataCount, 0);
        QVERIFY(imported.series.durations.isEmpty());
    }
}

void tst_TevranoLog::noInstrument_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("the first instrument") << QStringList();
    QTest::newRow("--all") << QStringList{"--all"};
}

void tst_TevranoLog::noInstrument()
{
    QFETCH(QStringList, arguments);
    InstrumentSimulator::Config config;
    InstrumentSimulator sim(config);
    QVERIFY(sim.start());
    InstrumentSimulator::Faults faults;
    faults.silent = true;
    sim.setFaults(faults);
    QTemporaryDir dir;
    QElapsedTimer timer;
    timer.start();
    // An earlier log under that name is left as it was.
    const QString path = dir.filePath("earlier.csv");
    const QByteArray earlier = "time,elapsed_s,object,ambient,unit\n2026-01-05T14:07:09.123+01:00,"
                               "0.000,25.0,23.5,C\n";
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(earlier) == earlier.size());
    file.close();
    const Run run = runLogger({sim.devicePath()}, arguments + QStringList{"--output", path});
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(readFile(path), earlier);
    // One silent port, two rates, two framings: a few seconds of probing, then the verdict.
    QVERIFY(timer.elapsed() < 20000);
    QCOMPARE(run.err.count('\n'), 1);
}

void tst_TevranoLog::severalInstruments_data()
{
    QTest::addColumn<bool>("all");
    QTest::newRow("--all") << true;
    QTest::newRow("two --port") << false;
}

// Two instruments into one stream; one is unplugged for a while and rejoins.
void tst_TevranoLog::severalInstruments()
{
    QFETCH(bool, all);
    QTemporaryDir dir;
    const QStringList serials{"1001", "1002"};
    Simulators sims;
    QVERIFY(sims.start(dir, {1001, 1002}, objectOf));
    // Searched first, a port answering garbage holds no one back.
    InstrumentSimulator garbage({});
    QVERIFY(garbage.start());
    InstrumentSimulator::Faults faults;
    faults.garbage = true;
    garbage.setFaults(faults);
    const QString path = dir.filePath(QStringLiteral("kiln.jsonl"));
    QStringList arguments{"--interval", "100", "--format", "jsonl", "--output", path};
    if (all)
        arguments << "--all";
    else
        arguments << "--port" << sims.ports[0] << "--port" << sims.ports[1];
    QProcess process;
    startLogger(process,
                all ? QStringList{garbage.devicePath()} + sims.ports : QStringList(),
                arguments);

    // Each instrument's rows in order: object (NaN for gaps), time, marker.
    struct Rows
    {
        QVector<double> objects;
        QVector<QDateTime> times;
        QStringList markers;
    };
    const auto rowsOf = [&] {
        QMap<QString, Rows> rows;
        const QList<QByteArray> lines = readFile(path).split('\n');
        for (const QByteArray &line : lines.mid(0, lines.size() - 1)) { // whole lines only
            const QJsonObject row = QJsonDocument::fromJson(line).object();
            // The instrument is always the last key.
            if (!line.contains(",\"instrument\":\"") || !line.endsWith("\"}"))
                return QMap<QString, Rows>();
            Rows &of = rows[row.value("instrument").toString()];
            const QJsonValue object = row.value("object");
            of.objects.append(object.isDouble() ? object.toDouble() : std::nan(""));
            of.times.append(QDateTime::fromString(row.value("time").toString(), Qt::ISODateWithMs));
            of.markers.append(row.value("marker").toString());
        }
        return rows;
    };
    QVERIFY(waitFor(
            [&] {
                const QMap<QString, Rows> rows = rowsOf();
                return rows.keys() == serials && rows[serials[0]].objects.size() >= 5
                       && rows[serials[1]].objects.size() >= 5;
            },
            30000));
    sims.sims[0]->unplug();
    QVERIFY(waitFor([&] { return trailingGaps(rowsOf()[serials[0]].objects) >= 10; }, 30000));
    QVERIFY(sims.sims[0]->replug());
    QVERIFY(waitFor(
            [&] {
                const QVector<double> o = rowsOf()[serials[0]].objects;
                return !o.isEmpty() && trailingGaps(o) == 0;
            },
            30000));
    // And the other goes on after the return.
    const int stayedBefore = rowsOf()[serials[1]].objects.size();
    QVERIFY(waitFor([&] { return rowsOf()[serials[1]].objects.size() >= stayedBefore + 5; },
                    30000));
    process.terminate();
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);

    const QMap<QString, Rows> rows = rowsOf();
    QCOMPARE(rows.keys(), serials);
    for (const Rows &of : rows) {
        QVERIFY(std::is_sorted(of.times.cbegin(), of.times.cend()));
        QVERIFY(of.times.first().isValid());
    }
    // The other's rows stay whole while one is away.
    const Rows &stayed = rows[serials[1]];
    QVERIFY(std::all_of(stayed.objects.cbegin(), stayed.objects.cend(), [](double v) {
        return v == Object + 2;
    }));
    QCOMPARE(stayed.markers.join(QString()), QString());
    // The unplugged one's: values, gaps while away, values again; its loss marked on its rows.
    const Rows &away = rows[serials[0]];
    const auto isGap = [](double v) {
        return std::isnan(v);
    };
    const int firstGap = int(std::find_if(away.objects.cbegin(), away.objects.cend(), isGap)
                             - away.objects.cbegin());
    const int back
            = int(std::find_if_not(away.objects.cbegin() + firstGap, away.objects.cend(), isGap)
                  - away.objects.cbegin());
    QVERIFY(firstGap >= 5);
    QVERIFY(back >= firstGap + 10 && back < away.objects.size());
    QVERIFY(away.markers.contains(QStringLiteral("instrument lost")));
    QVERIFY(away.markers.contains(QStringLiteral("instrument back")));
    // The other sampled all the while, without a hole.
    QVERIFY(stayed.times.first() < away.times[firstGap] && stayed.times.last() > away.times[back]);
    for (int i = 1; i < stayed.times.size(); ++i)
        QVERIFY(stayed.times[i - 1].msecsTo(stayed.times[i]) < 2000);
}

void tst_TevranoLog::recordFilePerInstrument()
{
    QTemporaryDir dir;
    Simulators sims;
    QVERIFY(sims.start(dir, {1001, 1002}, objectOf));
    const Run run = runLogger(sims.ports,
                              {"--all",
                               "--interval",
                               "100",
                               "--duration",
                               "5",
                               "--output",
                               dir.filePath(QStringLiteral("kiln-{instrument}.txt"))});
    QCOMPARE(run.exitCode, 0);
    const QStringList names = QDir(dir.path()).entryList({QStringLiteral("kiln-*")}, QDir::Files);
    QCOMPARE(names, QStringList({"kiln-1001.txt", "kiln-1002.txt"}));
    for (int i = 0; i < 2; ++i) {
        RecordImport imported;
        QVERIFY(loadRecordFile(dir.filePath(names[i]), imported));
        QVERIFY(imported.dataCount >= 5);
        const double object = Object + 1 + i;
        QVERIFY(std::all_of(imported.series.temperatures.cbegin(),
                            imported.series.temperatures.cend(),
                            [object](double v) { return v == object; }));
    }
}

// A real broker on a free loopback port: each instrument's rows reach it under its own serial,
// with its own reading, and each says it is online.
void tst_TevranoLog::publishesEachInstrumentUnderItsSerial()
{
    QTemporaryDir dir;
    TestBroker broker(dir.path());
    QVERIFY2(broker.start(), qPrintable(broker.log()));
    TestSubscriber subscriber(broker.port(), {QStringLiteral("plant/#")});
    QVERIFY(subscriber.waitSubscribed());
    Simulators sims;
    QVERIFY(sims.start(dir, {1001, 1002}, objectOf));
    QProcess process;
    QProcessEnvironment environment = environmentWithPorts({});
    // The unsent-row queue goes under the configuration folder: a throw-away one.
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TEVRANO_LOG_PATH),
                  {"--port",
                   sims.ports[0],
                   "--port",
                   sims.ports[1],
                   "--interval",
                   "100",
                   "--mqtt",
                   QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.port()),
                   "--mqtt-prefix",
                   "plant",
                   "--no-discovery"});
    const auto objectsOf = [&](const QByteArray &serial) {
        QVector<double> objects;
        for (const TestSubscriber::Message &message :
             subscriber.messages("plant/" + serial + "/state"))
            objects.append(QJsonDocument::fromJson(message.payload)
                                   .object()
                                   .value(QStringLiteral("object"))
                                   .toDouble(std::nan("")));
        return objects;
    };
    QVERIFY(subscriber.waitFor(
            [&](const QVector<TestSubscriber::Message> &) {
                return objectsOf("1001").size() >= 3 && objectsOf("1002").size() >= 3;
            },
            60000));
    process.terminate();
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);
    for (const QByteArray serial : {"1001", "1002"}) {
        const QVector<double> objects = objectsOf(serial);
        const double expected = objectOf(serial.toUInt());
        QVERIFY2(std::all_of(objects.cbegin(),
                             objects.cend(),
                             [expected](double v) { return v == expected; }),
                 serial.constData());
        const auto availability = subscriber.messages("plant/" + serial + "/availability");
        QVERIFY(!availability.isEmpty());
        QCOMPARE(availability.first().payload, QByteArray("online"));
    }
}

void tst_TevranoLog::refusedBeforeAnyPort_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("interval 0") << QStringList{"--interval", "0"} << 1;
    QTest::newRow("negative duration") << QStringList{"--duration", "-5"} << 1;
    QTest::newRow("duration beyond any clock") << QStringList{"--duration", "1e16"} << 1;
    QTest::newRow("append to standard output") << QStringList{"--append"} << 1;
    QTest::newRow("unknown format") << QStringList{"--format", "xml"} << 1;
    QTest::newRow("unknown option") << QStringList{"--fast"} << 1;
    QTest::newRow("output in a missing folder")
            << QStringList{"--output", "<dir>/missing/log.csv"} << 3;
    QTest::newRow("output is a folder") << QStringList{"--output", "<dir>"} << 3;
    QTest::newRow("several instruments into one record file")
            << QStringList{"--all", "--output", "<dir>/kiln.txt"} << 1;
    QTest::newRow("two ports, record to standard output")
            << QStringList{"--port", "<dir>/a", "--port", "<dir>/b", "--format", "record"} << 1;
}

void tst_TevranoLog::refusedBeforeAnyPort()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    InstrumentSimulator sim({});
    QVERIFY(sim.start());
    QTemporaryDir dir;
    arguments.replaceInStrings(QStringLiteral("<dir>"), dir.path());
    const Run run = runLogger({sim.devicePath()}, arguments);
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.err.count('\n'), 1);
    if (exitCode == 1)
        QVERIFY(run.err.contains("Usage: tevrano-log"));
    QCOMPARE(sim.receivedFrames().size(), 0);
    QVERIFY(QDir(dir.path()).isEmpty());
}

QTEST_GUILESS_MAIN(tst_TevranoLog)
#include "tst_tevranolog.moc"
