#include "retry_strategy.h"

#include <algorithm>

namespace nubora {

namespace {
// libcurl codes + 200000: couldn't connect, partial file, write error, timed out,
// got nothing, send error, receive error.
constexpr int kRetriedTransportFailures[]
        = {200007, 200018, 200023, 200028, 200052, 200055, 200056};
} // namespace

bool isClockSkewError(const TransportError &error)
{
    return error.status == 403 && error.message.find("RequestTimeTooSkewed") != std::string::npos;
}

bool DefaultRetryStrategy::mayRetry(const TransportError &error, long attemptedRetries) const
{
    if (attemptedRetries >= maxRetries_)
        return false;
    if (isClockSkewError(error))
        return true;
    if (error.status >= 500 && error.status <= 598)
        return true;
    return std::find(std::begin(kRetriedTransportFailures),
                     std::end(kRetriedTransportFailures),
                     error.status)
           != std::end(kRetriedTransportFailures);
}

long DefaultRetryStrategy::delayMs(const TransportError &, long attemptedRetries) const
{
    // Bounded so a caller-supplied count cannot shift past the width.
    return scaleMs_ << std::clamp(attemptedRetries, 0L, 20L);
}

} // namespace nubora
