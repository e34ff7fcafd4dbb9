#include "diagnostics.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <sstream>
#include <thread>

namespace nubora {

const char kTransportLogTag[] = "CurlHttpClient";
const char kClientLogTag[] = "OssClientImpl";

namespace {

const char *const kLevelNames[]
        = {"off", "fatal", "error", "warn", "info", "debug", "trace", "all"};
const char *const kLevelTags[]
        = {"[OFF]", "[FATAL]", "[ERROR]", "[WARN]", "[INFO]", "[DEBUG]", "[TRACE]", "[ALL]"};
constexpr std::size_t kMessageLimit = 2048;

std::atomic<int> currentLevel{0};
std::atomic<bool> logOn{false};
std::mutex writeMutex;

} // namespace

std::optional<LogLevel> parseLogLevel(const std::string &text)
{
    const auto first = std::find_if_not(
            text.begin(), text.end(), [](unsigned char c) { return std::isspace(c); });
    const auto last = std::find_if_not(text.rbegin(), text.rend(), [](unsigned char c) {
                          return std::isspace(c);
                      }).base();
    std::string name = first < last ? std::string(first, last) : std::string();
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) {
        return std::tolower(c);
    });
    for (int level = 0; level <= static_cast<int>(LogLevel::All); ++level)
        if (name == kLevelNames[level])
            return static_cast<LogLevel>(level);
    return std::nullopt;
}

void startDiagnostics()
{
    const char *text = std::getenv("OSS_SDK_LOG_LEVEL");
    if (!text)
        return;
    if (const auto level = parseLogLevel(text)) {
        currentLevel = static_cast<int>(*level);
        logOn = true;
    }
}

void stopDiagnostics()
{
    logOn = false;
    currentLevel = 0;
}

bool diagnosticsEnabled(LogLevel level)
{
    return logOn && currentLevel >= static_cast<int>(level);
}

std::string formatLogLine(LogLevel level,
                          const char *tag,
                          const std::string &threadId,
                          std::chrono::system_clock::time_point when,
                          const char *message)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    const auto millis
            = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count()
              % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[64];
    const std::size_t stampLength
            = std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S.", &local);
    std::snprintf(
            stamp + stampLength, sizeof stamp - stampLength, "%03d", static_cast<int>(millis));

    std::string text(message);
    while (!text.empty() && text.back() == '\n')
        text.pop_back();

    std::string line;
    line.reserve(64 + text.size());
    line += '[';
    line += stamp;
    line += ']';
    line += kLevelTags[static_cast<int>(level)];
    line += '[';
    line += tag;
    line += "][";
    line += threadId;
    line += ']';
    line += text;
    return line;
}

void logMessage(LogLevel level, const char *tag, const char *format, ...)
{
    if (!diagnosticsEnabled(level))
        return;
    char message[kMessageLimit + 1];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);

    std::ostringstream threadId;
    threadId << std::this_thread::get_id();
    const std::string line
            = formatLogLine(level, tag, threadId.str(), std::chrono::system_clock::now(), message);

    std::lock_guard<std::mutex> lock(writeMutex);
    std::fprintf(stderr, "%s\n", line.c_str());
}

} // namespace nubora
