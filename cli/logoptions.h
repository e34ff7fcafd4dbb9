#pragma once

#include "publisher.h"
#include "trigger.h"

#include <QString>
#include <QStringList>

#include <optional>

enum class LogFormat { Record, Csv, Jsonl };

struct LogOptions
{
    QStringList ports; // empty: search every port as the window does
    bool all = false;  // every instrument found, also those plugged in later
    qint32 baud = 0;   // 0: both rates
    int intervalMs = 100;
    double durationS = 0; // 0: until interrupted
    LogFormat format = LogFormat::Csv;
    QString output = QStringLiteral("-"); // "-" is standard output; empty: no file
    bool append = false;                  // rows go after those of an existing csv or jsonl file
    bool quiet = false;
    bool mqtt = false;              // rows go to the broker in mqttSettings too
    PublisherSettings mqttSettings; // all but the password and the queue directory
    QString mqttPasswordFile;
    std::optional<Trigger> trigger; // none: every row is written

    // Logs through an InstrumentSet rather than the first instrument found.
    bool severalInstruments() const { return all || ports.size() > 1; }
};

// In an --output name, replaced by each instrument's serial number.
inline QString instrumentPlaceholder()
{
    return QStringLiteral("{instrument}");
}

struct LogCommand
{
    enum Kind { Run, Help, Version, Bad };
    Kind kind = Run;
    LogOptions options;
    QString error; // for Bad: what was wrong, one line
};

// Reads the arguments that follow the program name. Nothing is opened or checked on disk.
LogCommand parseLogArguments(const QStringList &arguments);

// Where the broker's password comes from: the file given, else TEVRANO_MQTT_PASSWORD. Never an
// argument, which every user of the machine could read. False when the file cannot be read.
bool loadMqttPassword(LogOptions *options, QString *error);

// The one-line synopsis printed with every argument error.
QString logUsageLine();
QString logHelpText();
