#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include <curl/curl.h>

namespace nubora {

struct EasyHandleDeleter
{
    void operator()(CURL *handle) const { curl_easy_cleanup(handle); }
};
using EasyHandle = std::unique_ptr<CURL, EasyHandleDeleter>;

struct HeaderListDeleter
{
    void operator()(curl_slist *list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, HeaderListDeleter>;

// Handles to add to a pool that has `created` of at most `maximum`: doubling,
// starting at two.
std::size_t poolGrowth(std::size_t created, std::size_t maximum);

// libcurl easy handles, reused last-in first-out so connections stay alive
// across requests.
class HandlePool
{
public:
    using HandleFactory = std::function<CURL *()>;

    HandlePool(std::size_t maximumHandles,
               long stallWindowMs,
               long connectTimeoutMs,
               HandleFactory createHandle = curl_easy_init);
    ~HandlePool();
    HandlePool(const HandlePool &) = delete;
    HandlePool &operator=(const HandlePool &) = delete;

    // Waits while every handle is busy; null when none could ever be created or
    // the pool is shutting down.
    EasyHandle acquire();
    // Resets the handle to the pool's defaults and wakes one waiter.
    void release(EasyHandle handle);

    std::size_t createdCount() const;

private:
    void grow();
    void applyDefaults(CURL *handle) const;

    const std::size_t maximumHandles_;
    const long stallWindowMs_;
    const long connectTimeoutMs_;
    const HandleFactory createHandle_;

    mutable std::mutex poolMutex_;
    std::condition_variable handleReturned_;
    std::vector<EasyHandle> idle_;
    bool shuttingDown_ = false;
    std::size_t created_ = 0;
    std::mutex growthMutex_;
};

} // namespace nubora
