#pragma once

#include "error_conversion.h"

namespace nubora {

class RetryStrategy
{
public:
    virtual ~RetryStrategy() = default;
    virtual bool mayRetry(const TransportError &error, long attemptedRetries) const = 0;
    virtual long delayMs(const TransportError &error, long attemptedRetries) const = 0;
};

// Retries skewed clocks, 5xx answers and the network failures worth repeating,
// with a doubling pause from scaleMs.
class DefaultRetryStrategy : public RetryStrategy
{
public:
    explicit DefaultRetryStrategy(long scaleMs = 300, long maxRetries = 3)
        : scaleMs_(scaleMs)
        , maxRetries_(maxRetries)
    {}
    bool mayRetry(const TransportError &error, long attemptedRetries) const override;
    long delayMs(const TransportError &error, long attemptedRetries) const override;

private:
    long scaleMs_;
    long maxRetries_;
};

bool isClockSkewError(const TransportError &error);

} // namespace nubora
