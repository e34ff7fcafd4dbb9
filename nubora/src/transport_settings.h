#pragma once

#include <memory>
#include <string>

#include "retry_strategy.h"

namespace nubora {

// Supplies a transfer rate in KiB per second; asked again during the transfer.
class RateLimiter
{
public:
    virtual ~RateLimiter() = default;
    virtual long rateKiBps() const = 0;
};

struct TransportSettings
{
    std::string userAgent = "nubora-cpp/1.7.0 (Windows)";
    std::string scheme = "http";
    std::size_t maximumHandles = 16;
    long connectTimeoutMs = 10000;
    long stallWindowMs = 5000;
    // Whole-request limit, so a server trickling bytes cannot hold a transfer for ever.
    long requestTimeoutMs = 60000;
    std::shared_ptr<RetryStrategy> retryStrategy = std::make_shared<DefaultRetryStrategy>(300, 3);
    std::string proxyScheme = "http";
    std::string proxyHost;
    unsigned proxyPort = 0;
    std::string proxyUserName;
    std::string proxyPassword;
    bool verifyTls = true;
    std::string caPath;
    std::string caFile;
    bool customDomain = false;
    bool crc64Check = true;
    bool correctClockSkew = true;
    std::shared_ptr<RateLimiter> sendRateLimiter;
    std::shared_ptr<RateLimiter> receiveRateLimiter;
    std::string networkInterface;
};

} // namespace nubora
