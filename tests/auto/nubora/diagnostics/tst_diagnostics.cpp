#include <QtTest>

#include <cstdio>
#include <unistd.h>

#include "diagnostics.h"

using nubora::LogLevel;

class DiagnosticsTest : public QObject
{
    Q_OBJECT

private slots:
    void parseLevel_data();
    void parseLevel();
    void lineFormat();
    void environmentSwitchesLogOn();
    void writtenLine();
};

void DiagnosticsTest::parseLevel_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("level"); // -1: not a level
    QTest::newRow("upper case with blanks") << " DEBUG " << int(LogLevel::Debug);
    QTest::newRow("tab and newline") << "\tinfo\n" << int(LogLevel::Info);
    QTest::newRow("off") << "off" << int(LogLevel::Off);
    QTest::newRow("all") << "All" << int(LogLevel::All);
    QTest::newRow("warn") << "warn" << int(LogLevel::Warn);
    QTest::newRow("warning is unknown") << "warning" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("number") << "5" << -1;
}

void DiagnosticsTest::parseLevel()
{
    QFETCH(QString, text);
    QFETCH(int, level);
    const auto parsed = nubora::parseLogLevel(text.toStdString());
    QCOMPARE(parsed ? int(*parsed) : -1, level);
}

void DiagnosticsTest::lineFormat()
{
    const QDateTime local(QDate(2026, 12, 7), QTime(8, 5, 3, 7), Qt::LocalTime);
    const auto when = std::chrono::system_clock::time_point(
            std::chrono::milliseconds(local.toMSecsSinceEpoch()));
    const std::string line
            = nubora::formatLogLine(LogLevel::Debug, "CurlHttpClient", "140", when, "hello\n\n");
    QCOMPARE(QString::fromStdString(line),
             QString("[2026-12-07 08:05:03.007][DEBUG][CurlHttpClient][140]hello"));
}

void DiagnosticsTest::environmentSwitchesLogOn()
{
    qputenv("OSS_SDK_LOG_LEVEL", " DEBUG ");
    nubora::startDiagnostics();
    QVERIFY(nubora::diagnosticsEnabled(LogLevel::Debug));
    QVERIFY(nubora::diagnosticsEnabled(LogLevel::Info));
    QVERIFY(!nubora::diagnosticsEnabled(LogLevel::Trace));
    nubora::stopDiagnostics();
    QVERIFY(!nubora::diagnosticsEnabled(LogLevel::Fatal));

    qputenv("OSS_SDK_LOG_LEVEL", "verbose");
    nubora::startDiagnostics();
    QVERIFY(!nubora::diagnosticsEnabled(LogLevel::Fatal));
    qunsetenv("OSS_SDK_LOG_LEVEL");
}

// What reaches standard error: one line per message, cut at 2048 characters.
void DiagnosticsTest::writtenLine()
{
    QTemporaryDir directory;
    QVERIFY(directory.isValid());
    const QByteArray path = directory.filePath("stderr.txt").toLocal8Bit();
    std::fflush(stderr);
    const int savedError = dup(STDERR_FILENO);
    FILE *capture = std::fopen(path.constData(), "w");
    QVERIFY(capture);
    dup2(fileno(capture), STDERR_FILENO);

    qputenv("OSS_SDK_LOG_LEVEL", "info");
    nubora::startDiagnostics();
    nubora::logMessage(LogLevel::Info, "OssClientImpl", "value:%d", 42);
    nubora::logMessage(LogLevel::Debug, "OssClientImpl", "too detailed");
    nubora::logMessage(LogLevel::Error, "CurlHttpClient", "%s", std::string(5000, 'x').c_str());
    nubora::stopDiagnostics();
    nubora::logMessage(LogLevel::Fatal, "OssClientImpl", "after stop");
    qunsetenv("OSS_SDK_LOG_LEVEL");

    std::fflush(stderr);
    dup2(savedError, STDERR_FILENO);
    close(savedError);
    std::fclose(capture);

    QFile file(QString::fromLocal8Bit(path));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 3); // two lines and the empty rest after the last line end
    const QRegularExpression prefix(
            R"(^\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\]\[(INFO|ERROR)\]\[(OssClientImpl|CurlHttpClient)\]\[\d+\])");
    QVERIFY(prefix.match(QString::fromLatin1(lines[0])).hasMatch());
    QVERIFY(lines[0].endsWith("]value:42"));
    QVERIFY(prefix.match(QString::fromLatin1(lines[1])).hasMatch());
    QCOMPARE(lines[1].count('x'), 2048);
    QVERIFY(lines[2].isEmpty());
}

QTEST_GUILESS_MAIN(DiagnosticsTest)
#include "tst_diagnostics.moc"
