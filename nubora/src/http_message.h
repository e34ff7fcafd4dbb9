#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>

namespace nubora {

// Byte-wise order after lower-casing, so a header map is both case-insensitive
// and already sorted the way the canonical string wants it.
struct CaseInsensitiveLess
{
    bool operator()(const std::string &left, const std::string &right) const;
    static bool equal(const std::string &left, const std::string &right);
};

using HeaderMap = std::map<std::string, std::string, CaseInsensitiveLess>;
using ParameterMap = std::map<std::string, std::string>;

using BodyStream = std::shared_ptr<std::iostream>;
using BodyStreamFactory = std::function<BodyStream()>;

// Called after each block of body bytes: (block size, bytes so far in this
// attempt, expected total or 0 when unknown).
using ProgressHandler = std::function<void(std::uint64_t, std::int64_t, std::int64_t)>;

BodyStreamFactory defaultBodyStreamFactory();

enum class HttpMethod { Get, Head, Post, Put, Delete, Connect, Options, Patch, Trace };

const char *httpMethodName(HttpMethod method);

class HttpMessage
{
public:
    bool hasHeader(const std::string &key) const;
    std::string header(const std::string &key) const;
    void setHeader(const std::string &key, const std::string &value);
    void removeHeader(const std::string &key);
    const HeaderMap &headers() const { return headers_; }

    const BodyStream &body() const { return body_; }
    void setBody(BodyStream body) { body_ = std::move(body); }

private:
    HeaderMap headers_;
    BodyStream body_;
};

// What the caller decides about a success body: where it goes (made on its
// first byte), who hears of its progress, and what it takes to count as one.
class ResponseBodyOptions
{
public:
    const BodyStreamFactory &responseStreamFactory() const { return responseStreamFactory_; }
    void setResponseStreamFactory(BodyStreamFactory factory)
    {
        responseStreamFactory_ = std::move(factory);
    }

    const ProgressHandler &progressHandler() const { return progressHandler_; }
    void setProgressHandler(ProgressHandler handler) { progressHandler_ = std::move(handler); }

    // A longer body ends the transfer as a failure as soon as it shows.
    std::int64_t maxBodyBytes() const { return maxBodyBytes_; }
    void setMaxBodyBytes(std::int64_t limit) { maxBodyBytes_ = limit; }

    // An empty body fails.
    bool contentRequired() const { return contentRequired_; }
    void setContentRequired(bool required) { contentRequired_ = required; }

    // An answer without the store's CRC-64 header fails (one with it is always checked).
    bool checksumRequired() const { return checksumRequired_; }
    void setChecksumRequired(bool required) { checksumRequired_ = required; }

private:
    BodyStreamFactory responseStreamFactory_ = defaultBodyStreamFactory();
    ProgressHandler progressHandler_;
    std::int64_t maxBodyBytes_ = INT64_MAX;
    bool contentRequired_ = false;
    bool checksumRequired_ = false;
};

class HttpRequest : public HttpMessage, public ResponseBodyOptions
{
public:
    explicit HttpRequest(HttpMethod method = HttpMethod::Get)
        : method_(method)
    {}

    HttpMethod method() const { return method_; }
    // A plain GET wants 200 and nothing else; a ranged one 206 as well.
    bool isSuccessStatus(long status) const;
    const std::string &url() const { return url_; }
    void setUrl(std::string url) { url_ = std::move(url); }

    bool crc64CheckEnabled() const { return crc64Check_; }
    void setCrc64CheckEnabled(bool enabled) { crc64Check_ = enabled; }

    // Filled by the transport after each transfer.
    std::uint64_t transferredCrc64() const { return transferredCrc64_; }
    std::int64_t transferredBytes() const { return transferredBytes_; }
    void setTransferResult(std::uint64_t crc64, std::int64_t bytes)
    {
        transferredCrc64_ = crc64;
        transferredBytes_ = bytes;
    }

private:
    HttpMethod method_;
    std::string url_;
    bool crc64Check_ = false;
    std::uint64_t transferredCrc64_ = 0;
    std::int64_t transferredBytes_ = 0;
};

// Failures the library finds in an answer itself.
enum LibraryStatus {
    kCrc64MismatchStatus = 100001,
    kRequestsDisabledStatus = 100002,
    kBodyOverLimitStatus = 100003,
    kConflictingLengthStatus = 100004,
    kMissingContentStatus = 100005,
    kMissingChecksumStatus = 100006,
    kLengthMismatchStatus = 100007,
};

class HttpResponse : public HttpMessage
{
public:
    // An HTTP status, 200000 + a libcurl code, or a LibraryStatus.
    int statusCode() const { return statusCode_; }
    const std::string &statusText() const { return statusText_; }
    void setStatus(int code, std::string text = {})
    {
        statusCode_ = code;
        statusText_ = std::move(text);
    }

private:
    int statusCode_ = 0;
    std::string statusText_;
};

} // namespace nubora
