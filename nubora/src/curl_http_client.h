#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

#include "handle_pool.h"
#include "http_message.h"
#include "transport_settings.h"

namespace nubora {

// Holds the enabled flag whose condition variable also times the pause between
// attempts, so disabling cuts a pause short.
class HttpClient
{
public:
    virtual ~HttpClient() = default;
    virtual std::shared_ptr<HttpResponse> makeRequest(HttpRequest &request) = 0;

    bool isEnabled() const;
    void disable();
    // Sleeps up to delayMs; returns false when the client was disabled meanwhile.
    bool waitForRetry(long delayMs);

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool enabled_ = true;
};

class CurlHttpClient : public HttpClient
{
public:
    explicit CurlHttpClient(const TransportSettings &settings,
                            HandlePool::HandleFactory createHandle = curl_easy_init);

    // Always answers: a libcurl failure shows as status 200000 + its code.
    std::shared_ptr<HttpResponse> makeRequest(HttpRequest &request) override;

    const TransportSettings &settings() const { return settings_; }

private:
    void configureHandle(CURL *handle,
                         const HttpRequest &request,
                         curl_slist *headerList,
                         void *state) const;

    const TransportSettings settings_;
    HandlePool pool_;
};

// Bytes of an error document kept for the error record; the rest is read and dropped.
constexpr std::int64_t kErrorBodyLimit = 1 << 20;

} // namespace nubora
