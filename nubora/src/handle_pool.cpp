#include "handle_pool.h"

#include <algorithm>

namespace nubora {

namespace {
constexpr long kReceiveBufferBytes = 256 * 1024;
}

std::size_t poolGrowth(std::size_t created, std::size_t maximum)
{
    if (created >= maximum)
        return 0;
    return std::min(maximum - created, 2 * std::max<std::size_t>(created, 1));
}

HandlePool::HandlePool(std::size_t maximumHandles,
                       long stallWindowMs,
                       long connectTimeoutMs,
                       HandleFactory createHandle)
    : maximumHandles_(maximumHandles)
    , stallWindowMs_(stallWindowMs)
    , connectTimeoutMs_(connectTimeoutMs)
    , createHandle_(std::move(createHandle))
{}

HandlePool::~HandlePool()
{
    std::lock_guard<std::mutex> lock(poolMutex_);
    shuttingDown_ = true;
    idle_.clear();
    handleReturned_.notify_all();
}

std::size_t HandlePool::createdCount() const
{
    std::lock_guard<std::mutex> lock(poolMutex_);
    return created_;
}

void HandlePool::applyDefaults(CURL *handle) const
{
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_TCP_NODELAY, 1L);
    // Larger receive blocks: fewer system calls and callbacks for installer-sized objects.
    curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
    curl_easy_setopt(handle, CURLOPT_NETRC, static_cast<long>(CURL_NETRC_IGNORED));
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, 0L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, connectTimeoutMs_);
    // Below one byte per second for the whole stall window aborts with a time-out.
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, std::max(1L, stallWindowMs_ / 1000));
    // The library downloads a program that gets run: verify by default; the
    // transport relaxes this only when its settings say so.
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
}

void HandlePool::grow()
{
    std::lock_guard<std::mutex> growthLock(growthMutex_);
    std::size_t toAdd;
    {
        std::lock_guard<std::mutex> lock(poolMutex_);
        toAdd = poolGrowth(created_, maximumHandles_);
    }
    for (std::size_t i = 0; i < toAdd; ++i) {
        EasyHandle handle(createHandle_());
        if (!handle)
            break;
        applyDefaults(handle.get());
        std::lock_guard<std::mutex> lock(poolMutex_);
        ++created_;
        idle_.push_back(std::move(handle));
        handleReturned_.notify_one();
    }
}

EasyHandle HandlePool::acquire()
{
    std::unique_lock<std::mutex> lock(poolMutex_);
    if (idle_.empty() && !shuttingDown_) {
        lock.unlock();
        grow();
        lock.lock();
    }
    // With nothing created there is no handle to wait for.
    if (created_ == 0)
        return nullptr;
    handleReturned_.wait(lock, [this] { return !idle_.empty() || shuttingDown_; });
    if (shuttingDown_)
        return nullptr;
    EasyHandle handle = std::move(idle_.back());
    idle_.pop_back();
    return handle;
}

void HandlePool::release(EasyHandle handle)
{
    if (!handle)
        return;
    curl_easy_reset(handle.get());
    applyDefaults(handle.get());
    std::lock_guard<std::mutex> lock(poolMutex_);
    if (shuttingDown_)
        return;
    idle_.push_back(std::move(handle));
    handleReturned_.notify_one();
}

} // namespace nubora
