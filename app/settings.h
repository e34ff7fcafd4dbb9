#ifndef TEVRANO_SETTINGS_H
#define TEVRANO_SETTINGS_H

#include <QHash>
#include <QObject>
#include <QString>
#include <QXmlStreamReader>

#include <functional>

// Keys of the settings table. Every value is text; readers convert.
namespace SettingsKeys {
inline constexpr char ChartLineWidth[] = "ChartLineWidth";
inline constexpr char ChartLineColor[] = "ChartLineColor";
// Thousands of samples the chart keeps.
inline constexpr char ChartLineCache[] = "ChartLineCache";
// Sampling interval of the chart in milliseconds.
inline constexpr char ChartLineFPS[] = "ChartLineFPS";
// "Simplified Chinese", "Tr Chinese" or "English".
inline constexpr char Language[] = "Language";
inline constexpr char AutoConn[] = "AutoConn";
// "1" shows the parameter panel, anything else hides it.
inline constexpr char ShowSettingPanel[] = "ShowSettingPanel";
inline constexpr char ComName[] = "ComName";
inline constexpr char ComBaud[] = "ComBaud";
// "1" beeps while an alarm is active; off when missing.
inline constexpr char AlarmSound[] = "AlarmSound";
} // namespace SettingsKeys

// The key of the label the user gave the instrument with this serial number (in decimal). The
// prefix makes it an XML name, which a bare number is not.
inline QString instrumentLabelKey(const QString &serialNumber)
{
    return QStringLiteral("InstrumentLabel") + serialNumber;
}

inline constexpr char SettingsFileName[] = "config.xml";

// The persistent user settings: a table of text keys and text values kept in
// config.xml in a per-user directory. Only the GUI thread uses it; no lock.
class Settings : public QObject
{
    Q_OBJECT

public:
    // Files larger than this are refused unread: a settings file holds a few
    // short values, so anything bigger is damage, not settings.
    static constexpr qint64 MaxFileSize = 1024 * 1024;

    // With an empty directory the per-user application directory is used,
    // worked out by readFile from the application name.
    explicit Settings(const QString &directory = QString());
    // Writes the table one last time.
    ~Settings() override;

    // Creates the directory if missing and reads config.xml into the table.
    // Returns false, after one line on standard error, when the file is
    // missing, not a regular file, unreadable, too large or not a well-formed
    // settings file (a document type declaration makes it malformed); keys
    // read before an error keep their values.
    bool readFile();
    // Gives the seven keys that have defaults their default when empty.
    void fillDefaults();
    // The stored value, or fallback when it is empty. An unknown key is added
    // with an empty value so that the next file written lists it.
    QString value(const QString &key, const QString &fallback = QString());
    // Stores in memory only; writeFile puts it on disk.
    void setValue(const QString &key, const QString &value);
    // Replaces config.xml atomically with the whole table: on any failure
    // the previous file stays whole, one line goes to standard error and the
    // result is false. Before the directory is known (readFile not yet run)
    // nothing is written and the result is false.
    bool writeFile();

    QString settingsDir() const { return m_settingsDir; }
    QString filePath() const;

private:
    bool parseFile();
    void readChildren(const std::function<void()> &readChild);
    void readChartElement();
    void readKeyElements();
    void skipUnknownElement();

    QString m_fixedDirectory;
    QString m_settingsDir;
    QXmlStreamReader m_reader;
    QHash<QString, QString> m_table;
};

// The one process-wide instance, constructed before main() runs and
// destroyed (writing config.xml) after it returns.
Settings &appSettings();

#endif // TEVRANO_SETTINGS_H
