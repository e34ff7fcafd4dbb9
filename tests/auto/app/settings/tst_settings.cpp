#include "settings.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char WriteLoopMode[] = "--write-loop";
const char GlobalInstanceMode[] = "--global-instance";

// Value large enough that one write of the file takes a while, so that a
// kill lands inside a write more often than between two.
const int PayloadLength = 200 * 1000;

using Elements = QMap<QString, QString>;

const Elements SevenDefaults = {
        {"ChartLineWidth", "2"},
        {"ChartLineColor", "255"},
        {"ChartLineCache", "1000"},
        {"ChartLineFPS", "100"},
        {"Language", "English"},
        {"AutoConn", "0"},
        {"ShowSettingPanel", "1"},
};

// Redirects file descriptor 2 into a file for as long as it lives, so that
// the lines the settings code prints can be counted.
class StderrCapture
{
public:
    explicit StderrCapture(const QString &path)
        : m_path(path)
    {
        std::fflush(stderr);
        m_savedFd = ::dup(STDERR_FILENO);
        const int fd
                = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, STDERR_FILENO);
        ::close(fd);
    }
    ~StderrCapture() { restore(); }

    QStringList lines()
    {
        restore();
        QFile file(m_path);
        file.open(QIODevice::ReadOnly);
        return QString::fromLocal8Bit(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }

private:
    void restore()
    {
        if (m_savedFd < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_savedFd, STDERR_FILENO);
        ::close(m_savedFd);
        m_savedFd = -1;
    }

    QString m_path;
    int m_savedFd = -1;
};

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// An independent reading of the file: a "Settings" root holding exactly one
// "Chart" whose children are plain text elements without attributes.
bool parseSettingsFile(const QString &path, Elements *elements)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QXmlStreamReader reader(&file);
    if (!reader.readNextStartElement() || reader.name() != QLatin1String("Settings")
        || !reader.attributes().isEmpty())
        return false;
    int groups = 0;
    while (reader.readNextStartElement()) {
        if (reader.name() != QLatin1String("Chart") || !reader.attributes().isEmpty())
            return false;
        ++groups;
        while (reader.readNextStartElement()) {
            if (!reader.attributes().isEmpty())
                return false;
            const QString key = reader.name().toString();
            elements->insert(key, reader.readElementText());
        }
    }
    return groups == 1 && !reader.hasError();
}

Elements withDefaults(Elements elements)
{
    for (auto it = SevenDefaults.cbegin(); it != SevenDefaults.cend(); ++it) {
        if (elements.value(it.key()).isEmpty())
            elements.insert(it.key(), it.value());
    }
    return elements;
}

QByteArray settingsDocument(const QByteArray &chartContent)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Settings>\n    <Chart>\n" + chartContent
           + "\n    </Chart>\n</Settings>\n";
}

// Child process: rewrites the file as fast as it can until it is killed.
int runWriteLoop(const QString &directory)
{
    Settings settings(directory);
    settings.readFile();
    for (int round = 0;; ++round) {
        settings.setValue("Counter", QString::number(round));
        settings.setValue("Payload", QString(PayloadLength, QChar('a' + round % 26)));
        if (!settings.writeFile())
            return 1;
        if (round == 0) {
            std::fputs("ready\n", stdout);
            std::fflush(stdout);
        }
    }
}

// Child process: uses the process-wide instance and leaves writing it to the
// end of the process.
int runGlobalInstance(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("Tevrano");
    appSettings().readFile();
    appSettings().fillDefaults();
    appSettings().setValue(SettingsKeys::ComName, "ttyUSB7");
    return 0;
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void firstStartCreatesDirectoryAndDefaults();
    void readFile_data();
    void readFile();
    void roundTripKeepsValues_data();
    void roundTripKeepsValues();
    void writeTwiceGivesSameElements();
    void valueOfUnsetKeyIsWrittenEmpty();
    void keysThatAreNotXmlNamesDoNotSpoilTheFile();
    void instrumentLabelsSurviveTheFile();
    void failedWriteKeepsOldFile_data();
    void failedWriteKeepsOldFile();
    void killDuringWriteNeverTearsFile();
    void globalInstanceWritesAtProcessEnd();
    void onlyRegularFilesAreRead_data();
    void onlyRegularFilesAreRead();
    void mutatedFilesNeverCrash();

private:
    QString configPath() const { return m_dir->path() + "/Tevrano/config.xml"; }
    QString settingsDir() const { return m_dir->path() + "/Tevrano"; }
    QString capturePath() const { return m_dir->path() + "/stderr.txt"; }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSettings::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestSettings::firstStartCreatesDirectoryAndDefaults()
{
    const QString directory = m_dir->path() + "/a/b/Tevrano";
    Settings settings(directory);
    StderrCapture capture(capturePath());
    QVERIFY(!settings.readFile());
    const QStringList errors = capture.lines();

    QVERIFY(QFileInfo(directory).isDir());
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.first().startsWith("Error: Cannot read file " + directory + "/config.xml: "),
             qPrintable(errors.first()));

    settings.fillDefaults();
    QVERIFY(settings.writeFile());
    Elements written;
    QVERIFY(parseSettingsFile(directory + "/config.xml", &written));
    QCOMPARE(written, SevenDefaults);

    // What the main window stores on close.
    settings.setValue(SettingsKeys::ComName, "COM3");
    settings.setValue(SettingsKeys::ComBaud, "115200");
    QVERIFY(settings.writeFile());
    written.clear();
    QVERIFY(parseSettingsFile(directory + "/config.xml", &written));
    Elements expected = SevenDefaults;
    expected.insert("ComName", "COM3");
    expected.insert("ComBaud", "115200");
    QCOMPARE(written, expected);
}

void TestSettings::readFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("readOk");
    // "%1" stands for the file path; empty when no line may be printed.
    QTest::addColumn<QString>("errorPrefix");
    QTest::addColumn<Elements>("expected");

    const QString parseError = "Error: Failed to parse file %1: ";
    const Elements defaults = withDefaults({});

    QTest::newRow("all keys in any order") << settingsDocument(
            "<ComBaud>9600</ComBaud><Language>Simplified Chinese</Language>"
            "<ChartLineFPS>20</ChartLineFPS><ComName>COM4</ComName>"
            "<ChartLineCache>300</ChartLineCache><AutoConn>1</AutoConn>"
            "<ShowSettingPanel>0</ShowSettingPanel>"
            "<ChartLineWidth>3</ChartLineWidth><ChartLineColor>7</ChartLineColor>")
                                           << true << QString()
                                           << Elements{{"ComBaud", "9600"},
                                                       {"Language", "Simplified Chinese"},
                                                       {"ChartLineFPS", "20"},
                                                       {"ComName", "COM4"},
                                                       {"ChartLineCache", "300"},
                                                       {"AutoConn", "1"},
                                                       {"ShowSettingPanel", "0"},
                                                       {"ChartLineWidth", "3"},
                                                       {"ChartLineColor", "7"}};
    QTest::newRow("root is not Settings")
            << QByteArray("<?xml version=\"1.0\"?><Config><Chart><Language>Tr Chinese</Language>"
                          "</Chart></Config>")
            << false << parseError + "Not a settings file" << defaults;
    QTest::newRow("empty key elements")
            << settingsDocument("<ChartLineFPS></ChartLineFPS><ComName/><ComBaud></ComBaud>")
            << true << QString() << withDefaults({{"ComName", ""}, {"ComBaud", ""}});
    QTest::newRow("key with child element")
            << settingsDocument("<Language>Tr Chinese</Language><ChartLineFPS>50<x/></ChartLineFPS>"
                                "<ChartLineCache>7</ChartLineCache>")
            << false << parseError << withDefaults({{"Language", "Tr Chinese"}});
    QTest::newRow("malformed after one key")
            << QByteArray("<Settings><Chart><AutoConn>1</AutoConn><ChartLi") << false << parseError
            << withDefaults({{"AutoConn", "1"}});
    QTest::newRow("empty file") << QByteArray() << false << parseError << defaults;
    QTest::newRow("other elements inside Settings are skipped")
            << QByteArray("<Settings><Window><Chart><Language>Tr Chinese</Language></Chart>"
                          "</Window><Chart><ChartLineFPS>20</ChartLineFPS></Chart></Settings>")
            << true << QString() << withDefaults({{"ChartLineFPS", "20"}});
    QTest::newRow("other elements inside Chart are keys")
            << settingsDocument("<WindowWidth>950</WindowWidth>") << true << QString()
            << withDefaults({{"WindowWidth", "950"}});

    QByteArray randomBytes(64 * 1024, '\0');
    QRandomGenerator random(20261207);
    for (char &byte : randomBytes)
        byte = static_cast<char>(random.bounded(256));
    QTest::newRow("random bytes") << randomBytes << false << parseError << defaults;

    QTest::newRow("several megabytes")
            << settingsDocument("<ComName>" + QByteArray(4 * 1024 * 1024, 'x') + "</ComName>")
            << false << QString("Error: Cannot read file %1: ") << defaults;

    const int depth = 100000;
    const QByteArray open = QByteArray("<x>").repeated(depth);
    const QByteArray close = QByteArray("</x>").repeated(depth);
    QTest::newRow("deep nesting, closed")
            << "<Settings>" + open + close + "<Chart><ComName>COM9</ComName></Chart></Settings>"
            << true << QString() << withDefaults({{"ComName", "COM9"}});
    QTest::newRow("deep nesting, never closed")
            << "<Settings>" + open << false << parseError << defaults;
    QTest::newRow("deep nesting inside a key")
            << settingsDocument("<ComName>" + open + close + "</ComName>") << false << parseError
            << defaults;

    // Gigabytes once expanded, well under the size limit as written.
    const QString noDoctype = parseError + "Document type declarations are not allowed";
    const QByteArray entity = "<!ENTITY big \"" + QByteArray(60 * 1024, 'z') + "\">";
    QTest::newRow("entity expansion") << "<?xml version=\"1.0\"?><!DOCTYPE Settings [" + entity
                                                 + "]><Settings><Chart>"
                                                   "<ComName>"
                                                 + QByteArray("&big;").repeated(150000)
                                                 + "</ComName>"
                                                   "</Chart></Settings>"
                                      << false << noDoctype << defaults;
    QTest::newRow("nested entities") << QByteArray(
            "<!DOCTYPE S [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;\">"
            "<!ENTITY c \"&b;&b;&b;&b;&b;&b;\">]><Settings><Chart><Language>&c;</Language>"
            "</Chart></Settings>") << false
                                     << noDoctype << defaults;
    QTest::newRow("plain doctype") << QByteArray(
            "<!DOCTYPE Settings><Settings><Chart><ComName>COM2</ComName></Chart></Settings>")
                                   << false << noDoctype << defaults;
}

void TestSettings::readFile()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, readOk);
    QFETCH(QString, errorPrefix);
    QFETCH(Elements, expected);

    QDir().mkpath(settingsDir());
    writeBytes(configPath(), content);

    Settings settings(settingsDir());
    StderrCapture capture(capturePath());
    QCOMPARE(settings.readFile(), readOk);
    const QStringList errors = capture.lines();

    if (errorPrefix.isEmpty()) {
        QCOMPARE(errors, QStringList());
    } else {
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().startsWith(errorPrefix.arg(configPath())),
                 qPrintable(errors.first()));
    }

    settings.fillDefaults();
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        QCOMPARE(settings.value(it.key()), it.value());
    QCOMPARE(settings.value(SettingsKeys::ComName), expected.value("ComName"));
    QCOMPARE(settings.value(SettingsKeys::ComBaud), expected.value("ComBaud"));
}

void TestSettings::roundTripKeepsValues_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("Tr Chinese") << "Tr Chinese";
    QTest::newRow("non-ASCII") << QString::fromUtf8("繁體中文");
    QTest::newRow("markup characters") << "a<b&c>\"d'";
    QTest::newRow("surrounding spaces") << "  padded  ";
    QTest::newRow("carriage returns") << "a\rb\r\nc\r";
    QTest::newRow("tabs and line feeds") << "\ta\tb\n\n";
    QTest::newRow("only blanks") << " \t \r\n ";
}

void TestSettings::roundTripKeepsValues()
{
    QFETCH(QString, language);
    QDir().mkpath(settingsDir());
    writeBytes(configPath(), settingsDocument("<Language/>"));
    {
        Settings first(settingsDir());
        QVERIFY(first.readFile());
        first.setValue(SettingsKeys::Language, language);
        QVERIFY(first.writeFile());
    }
    for (int generation = 0; generation < 2; ++generation) {
        Settings next(settingsDir());
        QVERIFY(next.readFile());
        next.fillDefaults();
        QCOMPARE(next.value(SettingsKeys::Language), language);
        QVERIFY(next.writeFile());
    }
}

void TestSettings::writeTwiceGivesSameElements()
{
    Settings settings(settingsDir());
    StderrCapture capture(capturePath());
    settings.readFile();
    capture.lines();
    settings.fillDefaults();
    settings.setValue(SettingsKeys::ComName, "/dev/ttyUSB0");

    QVERIFY(settings.writeFile());
    const QByteArray firstBytes = readBytes(configPath());
    Elements first;
    QVERIFY(parseSettingsFile(configPath(), &first));
    QVERIFY(settings.writeFile());
    Elements second;
    QVERIFY(parseSettingsFile(configPath(), &second));

    QCOMPARE(second, first);
    QCOMPARE(first.size(), 8);
    QVERIFY(firstBytes.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Settings>\n"
                                  "    <Chart>\n        <"));
}

void TestSettings::valueOfUnsetKeyIsWrittenEmpty()
{
    Settings settings(settingsDir());
    StderrCapture capture(capturePath());
    settings.readFile();
    capture.lines();

    QCOMPARE(settings.value("NeverSet", "fallback"), QString("fallback"));
    QCOMPARE(settings.value("NeverSet"), QString());
    QVERIFY(settings.writeFile());

    Elements written;
    QVERIFY(parseSettingsFile(configPath(), &written));
    QCOMPARE(written, Elements({{"NeverSet", ""}}));
}

// Neither can values XML cannot hold.
void TestSettings::keysThatAreNotXmlNamesDoNotSpoilTheFile()
{
    Settings settings(settingsDir());
    StderrCapture capture(capturePath());
    settings.readFile();
    capture.lines();
    settings.setValue(SettingsKeys::ComName, "COM5");
    settings.setValue("two words", "x");
    settings.setValue("1digitFirst", "x");
    settings.setValue(SettingsKeys::Language, QString("a\x01b"));
    settings.setValue(SettingsKeys::ComBaud, QString(1, QChar(0xFFFF)));
    settings.value(QString());
    QVERIFY(settings.writeFile());

    Settings reread(settingsDir());
    QVERIFY(reread.readFile());
    QCOMPARE(reread.value(SettingsKeys::ComName), QString("COM5"));
}

// Serial numbers are not XML names; labels in any script are kept under them all the same.
void TestSettings::instrumentLabelsSurviveTheFile()
{
    Settings settings(settingsDir());
    StderrCapture capture(capturePath());
    settings.readFile();
    capture.lines();
    settings.setValue(instrumentLabelKey("20261207"), QString::fromUtf8("窑炉 2 <zone>"));
    settings.setValue(instrumentLabelKey("-5"), "bench");
    QVERIFY(settings.writeFile());

    Settings reread(settingsDir());
    QVERIFY(reread.readFile());
    QCOMPARE(reread.value(instrumentLabelKey("20261207")), QString::fromUtf8("窑炉 2 <zone>"));
    QCOMPARE(reread.value(instrumentLabelKey("-5")), QString("bench"));
}

enum class WriteFailure { ReadOnlyDirectory, RemovedDirectory, FileSizeLimit };
Q_DECLARE_METATYPE(WriteFailure)

void TestSettings::failedWriteKeepsOldFile_data()
{
    QTest::addColumn<WriteFailure>("failure");
    QTest::newRow("directory not writable") << WriteFailure::ReadOnlyDirectory;
    QTest::newRow("directory removed") << WriteFailure::RemovedDirectory;
    // Stands in for a full disk: writes past the limit fail with EFBIG.
    QTest::newRow("file size limit") << WriteFailure::FileSizeLimit;
}

void TestSettings::failedWriteKeepsOldFile()
{
    QFETCH(WriteFailure, failure);
    if (failure == WriteFailure::ReadOnlyDirectory && ::geteuid() == 0)
        QSKIP("root writes into read-only directories");

    Settings settings(settingsDir());
    StderrCapture firstRead(capturePath());
    settings.readFile();
    firstRead.lines();
    settings.fillDefaults();
    QVERIFY(settings.writeFile());
    const QByteArray oldContent = readBytes(configPath());
    settings.setValue(SettingsKeys::ComName, QString(64 * 1024, 'n'));

    rlimit savedLimit{};
    ::getrlimit(RLIMIT_FSIZE, &savedLimit);
    switch (failure) {
    case WriteFailure::ReadOnlyDirectory:
        QVERIFY(QFile::setPermissions(settingsDir(), QFile::ReadOwner | QFile::ExeOwner));
        break;
    case WriteFailure::RemovedDirectory:
        QVERIFY(QDir(settingsDir()).removeRecursively());
        break;
    case WriteFailure::FileSizeLimit: {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = savedLimit;
        small.rlim_cur = 4096;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        break;
    }
    }

    StderrCapture capture(capturePath());
    const bool written = settings.writeFile();
    const QStringList errors = capture.lines();
    ::setrlimit(RLIMIT_FSIZE, &savedLimit);
    QFile::setPermissions(settingsDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QVERIFY(!written);
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.first().startsWith("Error: Cannot write file " + configPath() + ": "),
             qPrintable(errors.first()));
    if (failure == WriteFailure::RemovedDirectory)
        QVERIFY(!QFile::exists(configPath()));
    else
        QCOMPARE(readBytes(configPath()), oldContent);
}

void TestSettings::killDuringWriteNeverTearsFile()
{
    const int childRuns = 4;
    const int readsPerRun = 15;
    QRandomGenerator random(7);
    for (int run = 0; run < childRuns; ++run) {
        QProcess child;
        child.setProcessChannelMode(QProcess::SeparateChannels);
        child.start(QCoreApplication::applicationFilePath(), {WriteLoopMode, settingsDir()});
        QVERIFY(child.waitForStarted(30000));
        while (!child.canReadLine())
            QVERIFY2(child.waitForReadyRead(60000), "writer never reported its first write");

        for (int read = 0; read < readsPerRun; ++read) {
            Elements elements;
            QVERIFY2(parseSettingsFile(configPath(), &elements), "torn file while writing");
            const QString payload = elements.value("Payload");
            QCOMPARE(payload.size(), PayloadLength);
            const int round = elements.value("Counter").toInt();
            QCOMPARE(payload.at(PayloadLength - 1), QChar('a' + round % 26));
            QTest::qWait(random.bounded(1, 15));
        }
        child.kill();
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        Settings afterKill(settingsDir());
        StderrCapture capture(capturePath());
        QVERIFY2(afterKill.readFile(), "torn file after kill");
        QCOMPARE(capture.lines(), QStringList());
        QCOMPARE(afterKill.value("Payload").size(), PayloadLength);
    }
}

void TestSettings::globalInstanceWritesAtProcessEnd()
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", m_dir->path());
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {GlobalInstanceMode});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);

    Elements written;
    QVERIFY2(parseSettingsFile(configPath(), &written), qPrintable(child.readAllStandardError()));
    Elements expected = SevenDefaults;
    expected.insert("ComName", "ttyUSB7");
    QCOMPARE(written, expected);
}

void TestSettings::onlyRegularFilesAreRead_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("directory") << "directory";
}

void TestSettings::onlyRegularFilesAreRead()
{
    QFETCH(QString, kind);
    QDir().mkpath(settingsDir());
    if (kind == "fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(configPath()).constData(), 0600), 0);
    else
        QVERIFY(QDir().mkdir(configPath()));

    // A FIFO without a writer would block an ordinary open for ever.
    Settings settings(settingsDir());
    StderrCapture capture(capturePath());
    QVERIFY(!settings.readFile());
    QCOMPARE(capture.lines(),
             QStringList{"Error: Cannot read file " + configPath() + ": not a regular file"});
    settings.fillDefaults();
    for (auto it = SevenDefaults.cbegin(); it != SevenDefaults.cend(); ++it)
        QCOMPARE(settings.value(it.key()), it.value());
}

// Mutations of a valid file with pieces of hostile shapes spliced in: the reader either takes
// the file or prints one line, never takes long and never crashes.
void TestSettings::mutatedFilesNeverCrash()
{
    const QByteArray valid = settingsDocument("<ComName>COM4</ComName><Language>Tr "
                                              "Chinese</Language><ChartLineFPS>20</ChartLineFPS>");
    const QList<QByteArray> pieces = {"<!DOCTYPE Settings [<!ENTITY e \"eeee\">]>",
                                      "&e;",
                                      "<!ENTITY x SYSTEM \"/dev/zero\">",
                                      "&amp;",
                                      "&#13;",
                                      "<![CDATA[",
                                      "]]>",
                                      "<?pi?>",
                                      "<Chart>",
                                      "</Settings>",
                                      "&#0;",
                                      "\r\n",
                                      QByteArray(1, '\0')};
    QDir().mkpath(settingsDir());
    QElapsedTimer clock;
    for (quint32 seed = 1; seed <= 300; ++seed) {
        QRandomGenerator random(seed);
        QByteArray bytes = valid;
        for (int edit = int(random.bounded(1, 6)); edit > 0; --edit) {
            const int at = int(random.bounded(bytes.size() + 1));
            switch (random.bounded(3)) {
            case 0:
                bytes.insert(at, pieces.at(int(random.bounded(pieces.size()))));
                break;
            case 1:
                bytes.remove(at, int(random.bounded(8)));
                break;
            default:
                if (at < bytes.size())
                    bytes[at] = char(random.bounded(256));
            }
        }
        writeBytes(configPath(), bytes);
        Settings settings(settingsDir());
        StderrCapture capture(capturePath());
        clock.start();
        const bool ok = settings.readFile();
        const QStringList errors = capture.lines();
        QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(seed)));
        QCOMPARE(errors.size(), ok ? 0 : 1);
        QVERIFY2(!ok || !bytes.contains("<!DOCTYPE"), qPrintable(QString::number(seed)));
    }
}

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], WriteLoopMode) == 0)
        return runWriteLoop(QString::fromLocal8Bit(argv[2]));
    if (argc == 2 && qstrcmp(argv[1], GlobalInstanceMode) == 0)
        return runGlobalInstance(argc, argv);

    QCoreApplication app(argc, argv);
    TestSettings test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settings.moc"
