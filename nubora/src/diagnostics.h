#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace nubora {

enum class LogLevel { Off, Fatal, Error, Warn, Info, Debug, Trace, All };

// " DEBUG " and "debug" both name LogLevel::Debug; unknown text names nothing.
std::optional<LogLevel> parseLogLevel(const std::string &text);

// Reads OSS_SDK_LOG_LEVEL; a known level switches the log to standard error on.
void startDiagnostics();
void stopDiagnostics();
bool diagnosticsEnabled(LogLevel level);

// One finished log line, without its line end.
std::string formatLogLine(LogLevel level,
                          const char *tag,
                          const std::string &threadId,
                          std::chrono::system_clock::time_point when,
                          const char *message);

void logMessage(LogLevel level, const char *tag, const char *format, ...)
        __attribute__((format(printf, 3, 4)));

extern const char kTransportLogTag[];
extern const char kClientLogTag[];

} // namespace nubora
