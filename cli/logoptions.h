#pragma once

#include "trigger.h"

#include <QString>
#include <QStringList>

#include <optional>

enum class LogFormat { Record, Csv, Jsonl };

struct LogOptions
{
    QString port;    // empty: search every port as the window does
    qint32 baud = 0; // 0: both rates
    int intervalMs = 100;
    double durationS = 0; // 0: until interrupted
    LogFormat format = LogFormat::Csv;
    QString output = QStringLiteral("-"); // "-" is standard output
    bool quiet = false;
    std::optional<Trigger> trigger; // none: every row is written
};

struct LogCommand
{
    enum Kind { Run, Help, Version, Bad };
    Kind kind = Run;
    LogOptions options;
    QString error; // for Bad: what was wrong, one line
};

// Reads the arguments that follow the program name. Nothing is opened or checked on disk.
LogCommand parseLogArguments(const QStringList &arguments);

// The one-line synopsis printed with every argument error.
QString logUsageLine();
QString logHelpText();
