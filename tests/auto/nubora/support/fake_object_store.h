#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// A loopback object store for tests: it checks each request's headers and
// signature the way the real service does, answers from a scripted handler, and
// can stall, cut or garble an answer on purpose.
namespace fakestore {

struct NoCaseLess
{
    bool operator()(const std::string &left, const std::string &right) const;
};

struct ReceivedRequest
{
    std::string method;
    std::string target; // as sent, still encoded
    std::string bucket;
    std::string key; // decoded
    std::map<std::string, std::string, NoCaseLess> headers;
    std::chrono::steady_clock::time_point arrival;
    std::vector<std::string> problems; // what the store found wrong; empty when accepted
};

struct Reply
{
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    // When >= 0 the body is that many bytes of patternBody() instead of `body`.
    std::int64_t generatedLength = -1;
    bool sendContentLength = true;
    std::int64_t announcedLength = -1; // Content-Length to claim; -1: the real length
    std::int64_t stallAfterBytes = -1; // stop sending there and hold the connection
    std::chrono::milliseconds stallFor{0};
    std::int64_t closeAfterBytes = -1; // drop the connection there
    bool withCrc64 = true;             // add x-oss-hash-crc64ecma of the full body
    std::string crc64Override;         // send this value instead
    std::string raw;                   // send these bytes verbatim, then close
    bool chunked = false;              // chunked transfer coding instead of a length
    std::int64_t paceBytes = 0;        // when > 0: send this many bytes per paceInterval
    std::chrono::milliseconds paceInterval{0};
};

// A body that never ends, for hostile answers.
constexpr std::int64_t kEndless = std::int64_t(1) << 50;

// (request, 0-based index of requests so far)
using Handler = std::function<Reply(const ReceivedRequest &, int)>;

// Byte i of every generated body.
unsigned char patternByte(std::int64_t index);
std::uint64_t patternCrc64(std::int64_t length);
std::string patternBody(std::int64_t length);

std::string errorDocument(const std::string &code,
                          const std::string &message,
                          const std::string &requestId,
                          const std::string &extraElements = {});

// Expected signature for a GET of bucket/key, computed independently of the library.
std::string expectedSignature(const std::string &secret, const ReceivedRequest &request);

class FakeObjectStore
{
public:
    FakeObjectStore(std::string accessKeyId, std::string accessKeySecret);
    ~FakeObjectStore();
    FakeObjectStore(const FakeObjectStore &) = delete;
    FakeObjectStore &operator=(const FakeObjectStore &) = delete;

    void setHandler(Handler handler);
    // The store's clock runs this far ahead of the machine's.
    void setClockOffset(std::chrono::seconds offset) { clockOffset_ = offset.count(); }
    // Off: every request goes to the handler unchecked (for transport tests).
    void setVerifying(bool verifying) { verifying_ = verifying; }

    std::uint16_t port() const { return port_; }
    std::string endpoint() const;
    std::vector<ReceivedRequest> requests() const;

private:
    void acceptLoop();
    void serveConnection(int socket);
    bool sendReply(int socket, const Reply &reply);
    Reply checkRequest(ReceivedRequest &request) const;

    std::string accessKeyId_;
    std::string accessKeySecret_;
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<long long> clockOffset_{0};
    std::atomic<bool> verifying_{true};
    mutable std::mutex mutex_;
    Handler handler_;
    std::vector<ReceivedRequest> requests_;
    std::vector<std::thread> connections_;
    std::thread acceptor_;
};

} // namespace fakestore
