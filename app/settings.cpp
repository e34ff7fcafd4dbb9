#include "settings.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>
#include <QXmlStreamWriter>

#include <cstdio>
#include <new>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const QString RootElement = QStringLiteral("Settings");
const QString GroupElement = QStringLiteral("Chart");

QString perUserDirectory()
{
#ifdef Q_OS_WIN
    // The roaming profile follows the user between machines; the user is
    // named by the home directory, not by an environment variable.
    return QStringLiteral("C:/Users/") + QDir::home().dirName()
           + QStringLiteral("/AppData/Roaming/") + QCoreApplication::applicationName();
#else
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QLatin1Char('/') + QCoreApplication::applicationName();
#endif
}

void printError(const QString &line)
{
    const QByteArray bytes = line.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
}

// A key that is not an XML name would make the whole file unreadable at the
// next start, so such keys stay in memory only.
bool isStorableKey(const QString &key)
{
    if (key.isEmpty() || !(key.at(0).isLetter() || key.at(0) == QLatin1Char('_')))
        return false;
    for (const QChar c : key) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('_') && c != QLatin1Char('-')
            && c != QLatin1Char('.'))
            return false;
    }
    return true;
}

// XML cannot carry most control characters, not even as references; one such value would
// make the whole file unwritable, so it stays in memory only.
bool isStorableValue(const QString &value)
{
    for (const QChar c : value) {
        const ushort code = c.unicode();
        if ((code < 0x20 && code != '\t' && code != '\n' && code != '\r') || code == 0xFFFE
            || code == 0xFFFF)
            return false;
    }
    return true;
}

// Opens only a regular file, without ever waiting: a FIFO or a device in the file's place would
// block the start or never end. `notRegular` tells that case from a missing or unreadable file.
bool openRegularFile(QFile &file, bool *notRegular)
{
    *notRegular = false;
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(file.fileName()).constData(),
                          O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return file.open(QIODevice::ReadOnly); // for the error string
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        *notRegular = true;
        return false;
    }
    return file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
#else
    if (file.exists() && !QFileInfo(file.fileName()).isFile()) {
        *notRegular = true;
        return false;
    }
    return file.open(QIODevice::ReadOnly);
#endif
}

// Writes the value so that it reads back unchanged: a bare CR would come back as a line feed.
void writeValueElement(QXmlStreamWriter &writer, const QString &key, const QString &value)
{
    writer.writeStartElement(key);
    const QStringList lines = value.split(QLatin1Char('\r'));
    for (int i = 0; i < lines.size(); ++i) {
        if (i > 0)
            writer.writeEntityReference(QStringLiteral("#13"));
        writer.writeCharacters(lines.at(i));
    }
    writer.writeEndElement();
}

} // namespace

Settings::Settings(const QString &directory)
    : m_fixedDirectory(directory)
    , m_settingsDir(directory)
{}

Settings::~Settings()
{
    writeFile();
}

QString Settings::filePath() const
{
#ifdef Q_OS_WIN
    const QLatin1Char separator('\\');
#else
    const QLatin1Char separator('/');
#endif
    return m_settingsDir + separator + QLatin1String(SettingsFileName);
}

bool Settings::readFile()
{
    m_settingsDir = m_fixedDirectory.isEmpty() ? perUserDirectory() : m_fixedDirectory;
    QDir().mkpath(m_settingsDir);
    try {
        return parseFile();
    } catch (const std::bad_alloc &) {
        m_reader.clear();
        printError(QStringLiteral("Error: Cannot read file %1: out of memory").arg(filePath()));
        return false;
    }
}

bool Settings::parseFile()
{
    const QString path = filePath();
    QFile file(path);
    bool notRegular = false;
    if (!openRegularFile(file, &notRegular)) {
        printError(QStringLiteral("Error: Cannot read file %1: %2")
                           .arg(path,
                                notRegular ? QStringLiteral("not a regular file")
                                           : file.errorString()));
        return false;
    }
    // Reading one byte past the limit tells an oversized file (or a device
    // that never ends) from one that just fits, without holding it all.
    QByteArray content = file.read(MaxFileSize + 1);
    if (content.size() > MaxFileSize) {
        printError(QStringLiteral("Error: Cannot read file %1: larger than %2 bytes")
                           .arg(path)
                           .arg(MaxFileSize));
        return false;
    }
    QBuffer buffer(&content);
    buffer.open(QIODevice::ReadOnly);

    // Without a document type declaration no entity expands: the text read is bounded by
    // the file's size.
    m_reader.setDevice(&buffer);
    m_reader.readNext();
    while (!m_reader.atEnd()) {
        if (m_reader.isDTD())
            m_reader.raiseError(QStringLiteral("Document type declarations are not allowed"));
        else if (!m_reader.isStartElement())
            m_reader.readNext();
        else if (m_reader.name() == RootElement)
            readChartElement();
        else
            m_reader.raiseError(QStringLiteral("Not a settings file"));
    }
    file.close();

    const bool parsed = !m_reader.hasError();
    const QString parseError = m_reader.errorString();
    m_reader.clear();

    if (!parsed) {
        printError(QStringLiteral("Error: Failed to parse file %1: %2").arg(path, parseError));
        return false;
    }
    if (file.error() != QFileDevice::NoError) {
        printError(QStringLiteral("Error: Cannot read file %1: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}

// The reader stands on the start of an element. Each child start element
// goes to readChild, which leaves the reader past that child; the walk ends
// past the element's end, or at the end of input or at an error.
void Settings::readChildren(const std::function<void()> &readChild)
{
    m_reader.readNext();
    while (!m_reader.atEnd()) {
        if (m_reader.isEndElement()) {
            m_reader.readNext();
            return;
        }
        if (m_reader.isStartElement())
            readChild();
        else
            m_reader.readNext();
    }
}

// The reader stands on the start of the root element.
void Settings::readChartElement()
{
    readChildren([this] {
        if (m_reader.name() == GroupElement)
            readKeyElements();
        else
            skipUnknownElement();
    });
}

// The reader stands on the start of the group element; every child element
// is one key, whatever its name.
void Settings::readKeyElements()
{
    readChildren([this] {
        const QString key = m_reader.name().toString();
        const QString text = m_reader.readElementText();
        // A key with child elements is a parse error; its partial text must
        // not shadow the default.
        if (m_reader.hasError())
            return;
        m_table.insert(key, text);
        m_reader.readNext();
    });
}

// Counts depth instead of recursing: a hostile file may nest elements far
// deeper than the stack allows.
void Settings::skipUnknownElement()
{
    int depth = 1;
    m_reader.readNext();
    while (!m_reader.atEnd() && depth > 0) {
        if (m_reader.isEndElement())
            --depth;
        else if (m_reader.isStartElement())
            ++depth;
        m_reader.readNext();
    }
}

void Settings::fillDefaults()
{
    static const char *const defaults[][2] = {
            {SettingsKeys::ChartLineWidth, "2"},
            {SettingsKeys::ChartLineColor, "255"},
            {SettingsKeys::ChartLineCache, "1000"},
            {SettingsKeys::ChartLineFPS, "100"},
            {SettingsKeys::Language, "English"},
            {SettingsKeys::AutoConn, "0"},
            {SettingsKeys::ShowSettingPanel, "1"},
    };
    for (const auto &keyAndDefault : defaults) {
        const QString key = QLatin1String(keyAndDefault[0]);
        setValue(key, value(key, QLatin1String(keyAndDefault[1])));
    }
}

QString Settings::value(const QString &key, const QString &fallback)
{
    const QString &stored = m_table[key];
    return stored.isEmpty() ? fallback : stored;
}

void Settings::setValue(const QString &key, const QString &value)
{
    m_table.insert(key, value);
}

bool Settings::writeFile()
{
    if (m_settingsDir.isEmpty())
        return false;

    const QString path = filePath();
    // The new content goes to a temporary file that replaces config.xml only
    // once complete, so a crash or a full disk leaves the old file whole.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        QStringList keys = m_table.keys();
        keys.sort();

        QXmlStreamWriter writer(&file);
        writer.setAutoFormatting(true);
        writer.writeStartDocument();
        writer.writeStartElement(RootElement);
        writer.writeStartElement(GroupElement);
        for (const QString &key : qAsConst(keys)) {
            const QString value = m_table.value(key);
            if (isStorableKey(key) && isStorableValue(value))
                writeValueElement(writer, key, value);
        }
        writer.writeEndElement();
        writer.writeEndElement();
        writer.writeEndDocument();
        // A failed device write has already marked the file; only a failure
        // of the writer alone needs marking, or commit would keep the file.
        if (writer.hasError() && file.error() == QFileDevice::NoError)
            file.cancelWriting();
        if (file.commit())
            return true;
    }
    printError(QStringLiteral("Error: Cannot write file %1: %2").arg(path, file.errorString()));
    return false;
}

namespace {
// Constructed before main() and destroyed after it returns, so the table is
// written once more after the last window has gone.
Settings theSettings;
} // namespace

Settings &appSettings()
{
    return theSettings;
}
