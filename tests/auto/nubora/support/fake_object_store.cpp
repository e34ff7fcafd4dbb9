#include "fake_object_store.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <lzma.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

namespace fakestore {

namespace {

constexpr std::size_t kPatternPeriod = 1 << 16;
constexpr std::size_t kHeadLimit = 1 << 16;
constexpr std::size_t kSendChunk = 1 << 18;
constexpr std::time_t kAllowedSkewSeconds = 15 * 60;

const std::array<unsigned char, kPatternPeriod> &patternBlock()
{
    static const auto block = [] {
        std::array<unsigned char, kPatternPeriod> bytes{};
        std::uint32_t state = 0x12345678u;
        for (auto &byte : bytes) {
            state = state * 1664525u + 1013904223u;
            byte = static_cast<unsigned char>(state >> 24);
        }
        return bytes;
    }();
    return block;
}

void fillPattern(char *out, std::int64_t offset, std::size_t length)
{
    const auto &block = patternBlock();
    while (length > 0) {
        const std::size_t start = static_cast<std::size_t>(offset % kPatternPeriod);
        const std::size_t run = std::min(length, kPatternPeriod - start);
        std::memcpy(out, block.data() + start, run);
        out += run;
        offset += static_cast<std::int64_t>(run);
        length -= run;
    }
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return std::tolower(c);
    });
    return text;
}

std::string percentDecoded(const std::string &text)
{
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()
            && std::isxdigit(static_cast<unsigned char>(text[i + 1]))
            && std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            decoded += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

const char *reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 206:
        return "Partial Content";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

bool sendAll(int socket, const char *data, std::size_t length)
{
    while (length > 0) {
        const ssize_t sent = ::send(socket, data, length, MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        data += sent;
        length -= static_cast<std::size_t>(sent);
    }
    return true;
}

// Status 0: the checks passed and the handler answers.
Reply passedChecks()
{
    Reply reply;
    reply.status = 0;
    return reply;
}

std::string isoTime(std::time_t seconds)
{
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S.000Z", &utc);
    return text;
}

} // namespace

bool NoCaseLess::operator()(const std::string &left, const std::string &right) const
{
    return lower(left) < lower(right);
}

unsigned char patternByte(std::int64_t index)
{
    return patternBlock()[static_cast<std::size_t>(index % kPatternPeriod)];
}

std::uint64_t patternCrc64(std::int64_t length)
{
    std::uint64_t crc = 0;
    for (std::int64_t done = 0; done < length;) {
        const std::size_t run
                = static_cast<std::size_t>(std::min<std::int64_t>(kPatternPeriod, length - done));
        crc = lzma_crc64(patternBlock().data(), run, crc);
        done += static_cast<std::int64_t>(run);
    }
    return crc;
}

std::string patternBody(std::int64_t length)
{
    std::string body(static_cast<std::size_t>(length), '\0');
    fillPattern(body.data(), 0, body.size());
    return body;
}

std::string errorDocument(const std::string &code,
                          const std::string &message,
                          const std::string &requestId,
                          const std::string &extraElements)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Error>\n  <Code>" + code
           + "</Code>\n  <Message>" + message + "</Message>\n  <RequestId>" + requestId
           + "</RequestId>\n  <HostId>127.0.0.1</HostId>\n" + extraElements + "</Error>\n";
}

std::string expectedSignature(const std::string &secret, const ReceivedRequest &request)
{
    const auto valueOf = [&request](const char *key) {
        const auto found = request.headers.find(key);
        return found == request.headers.end() ? std::string() : found->second;
    };
    std::string canonical = request.method + "\n" + valueOf("Content-MD5") + "\n"
                            + valueOf("Content-Type") + "\n" + valueOf("Date") + "\n";
    for (const auto &[key, value] : request.headers)
        if (lower(key).rfind("x-oss-", 0) == 0)
            canonical += lower(key) + ":" + value + "\n";
    canonical += "/" + request.bucket + "/" + request.key;

    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestLength = 0;
    HMAC(EVP_sha1(),
         secret.data(),
         static_cast<int>(secret.size()),
         reinterpret_cast<const unsigned char *>(canonical.data()),
         canonical.size(),
         digest,
         &digestLength);
    unsigned char encoded[64];
    const int encodedLength = EVP_EncodeBlock(encoded, digest, static_cast<int>(digestLength));
    return std::string(reinterpret_cast<char *>(encoded), static_cast<std::size_t>(encodedLength));
}

FakeObjectStore::FakeObjectStore(std::string accessKeyId, std::string accessKeySecret)
    : accessKeyId_(std::move(accessKeyId))
    , accessKeySecret_(std::move(accessKeySecret))
{
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    const int reuse = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    ::bind(listener_, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::listen(listener_, 16);
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr *>(&address), &length);
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

FakeObjectStore::~FakeObjectStore()
{
    stopping_ = true;
    acceptor_.join();
    for (std::thread &connection : connections_)
        connection.join();
    ::close(listener_);
}

void FakeObjectStore::setHandler(Handler handler)
{
    std::lock_guard<std::mutex> lock(mutex_);
    handler_ = std::move(handler);
}

std::string FakeObjectStore::endpoint() const
{
    return "http://127.0.0.1:" + std::to_string(port_);
}

std::vector<ReceivedRequest> FakeObjectStore::requests() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void FakeObjectStore::acceptLoop()
{
    while (!stopping_) {
        pollfd waiting{listener_, POLLIN, 0};
        if (::poll(&waiting, 1, 50) <= 0)
            continue;
        const int socket = ::accept(listener_, nullptr, nullptr);
        if (socket < 0)
            continue;
        std::lock_guard<std::mutex> lock(mutex_);
        connections_.emplace_back([this, socket] {
            serveConnection(socket);
            ::close(socket);
        });
    }
}

Reply FakeObjectStore::checkRequest(ReceivedRequest &request) const
{
    const auto valueOf = [&request](const char *key) {
        const auto found = request.headers.find(key);
        return found == request.headers.end() ? std::string() : found->second;
    };
    const auto reject = [&request](int status,
                                   const std::string &code,
                                   const std::string &message,
                                   const std::string &extra = {}) {
        request.problems.push_back(code + ": " + message);
        Reply reply;
        reply.status = status;
        reply.headers.emplace_back("Content-Type", "application/xml");
        reply.headers.emplace_back("x-oss-request-id", "fake-rejected");
        reply.body = errorDocument(code, message, "fake-rejected", extra);
        return reply;
    };

    if (request.method != "GET")
        return reject(405, "MethodNotAllowed", "only GET is served");
    if (valueOf("Content-Length") != "0")
        return reject(400, "InvalidArgument", "Content-Length must be 0 for this GET");
    if (valueOf("Content-Type") != "application/xml")
        return reject(400, "InvalidArgument", "unexpected Content-Type");
    if (valueOf("User-Agent").rfind("nubora-cpp/1.7.0 (", 0) != 0)
        return reject(400, "InvalidArgument", "unexpected User-Agent");

    std::tm dated{};
    const std::string date = valueOf("Date");
    const char *parsedEnd = strptime(date.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &dated);
    if (!parsedEnd || *parsedEnd != '\0')
        return reject(403, "AccessDenied", "invalid Date header: " + date);

    const std::string authorization = valueOf("Authorization");
    const std::string prefix = "OSS " + accessKeyId_ + ":";
    if (authorization.rfind(prefix, 0) != 0)
        return reject(403, "InvalidAccessKeyId", "this fake store knows no such access key id");
    if (authorization.substr(prefix.size()) != expectedSignature(accessKeySecret_, request))
        return reject(403,
                      "SignatureDoesNotMatch",
                      "the signature sent differs from the one this fake store computed");

    const std::time_t storeNow = std::time(nullptr) + static_cast<std::time_t>(clockOffset_.load());
    const std::time_t requestTime = timegm(&dated);
    if (std::abs(static_cast<long long>(requestTime - storeNow)) > kAllowedSkewSeconds)
        return reject(403,
                      "RequestTimeTooSkewed",
                      "the request's date is too far from this fake store's clock",
                      "  <RequestTime>" + isoTime(requestTime) + "</RequestTime>\n  <ServerTime>"
                              + isoTime(storeNow) + "</ServerTime>\n");
    return passedChecks();
}

void FakeObjectStore::serveConnection(int socket)
{
    std::string pending;
    while (!stopping_) {
        const std::size_t headEnd = pending.find("\r\n\r\n");
        if (headEnd == std::string::npos) {
            if (pending.size() > kHeadLimit)
                return;
            pollfd waiting{socket, POLLIN, 0};
            if (::poll(&waiting, 1, 50) <= 0)
                continue;
            char buffer[4096];
            const ssize_t received = ::recv(socket, buffer, sizeof buffer, 0);
            if (received <= 0)
                return;
            pending.append(buffer, static_cast<std::size_t>(received));
            continue;
        }

        ReceivedRequest request;
        request.arrival = std::chrono::steady_clock::now();
        const std::string head = pending.substr(0, headEnd);
        pending.erase(0, headEnd + 4);
        std::size_t lineEnd = head.find("\r\n");
        const std::string requestLine = head.substr(0, lineEnd);
        const std::size_t firstBlank = requestLine.find(' ');
        const std::size_t secondBlank = requestLine.find(' ', firstBlank + 1);
        request.method = requestLine.substr(0, firstBlank);
        request.target = requestLine.substr(firstBlank + 1, secondBlank - firstBlank - 1);
        while (lineEnd != std::string::npos) {
            const std::size_t start = lineEnd + 2;
            lineEnd = head.find("\r\n", start);
            const std::string line = head.substr(
                    start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
            const std::size_t colon = line.find(':');
            if (colon != std::string::npos)
                request.headers[line.substr(0, colon)]
                        = line.substr(line.find_first_not_of(' ', colon + 1));
        }
        // Path style: /bucket/encoded-key
        const std::string path = request.target.substr(0, request.target.find('?'));
        const std::size_t bucketEnd = path.find('/', 1);
        request.bucket = path.substr(
                1, bucketEnd == std::string::npos ? std::string::npos : bucketEnd - 1);
        request.key = bucketEnd == std::string::npos ? std::string()
                                                     : percentDecoded(path.substr(bucketEnd + 1));

        Reply reply = verifying_ ? checkRequest(request) : passedChecks();
        Handler handler;
        int index;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            index = static_cast<int>(requests_.size());
            requests_.push_back(request);
            handler = handler_;
        }
        if (reply.status == 0) {
            Reply notFound;
            notFound.status = 404;
            notFound.body
                    = errorDocument("NoSuchKey", "nothing is stored under this key", "no-handler");
            reply = handler ? handler(request, index) : notFound;
        }
        if (!sendReply(socket, reply))
            return;
    }
}

bool FakeObjectStore::sendReply(int socket, const Reply &reply)
{
    if (!reply.raw.empty()) {
        sendAll(socket, reply.raw.data(), reply.raw.size());
        return false;
    }
    const bool generated = reply.generatedLength >= 0;
    const std::int64_t length
            = generated ? reply.generatedLength : static_cast<std::int64_t>(reply.body.size());

    std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + reasonPhrase(reply.status)
                       + "\r\n";
    for (const auto &[key, value] : reply.headers)
        head += key + ": " + value + "\r\n";
    if (reply.chunked)
        head += "Transfer-Encoding: chunked\r\n";
    else if (reply.sendContentLength)
        head += "Content-Length: "
                + std::to_string(reply.announcedLength >= 0 ? reply.announcedLength : length)
                + "\r\n";
    else
        head += "Connection: close\r\n";
    // An endless body has no checksum to announce.
    if (reply.withCrc64 && reply.status / 100 == 2 && length < kEndless) {
        std::string crc = reply.crc64Override;
        if (crc.empty())
            crc = std::to_string(
                    generated ? patternCrc64(length)
                              : lzma_crc64(reinterpret_cast<const uint8_t *>(reply.body.data()),
                                           reply.body.size(),
                                           0));
        head += "x-oss-hash-crc64ecma: " + crc + "\r\n";
    }
    head += "\r\n";
    if (!sendAll(socket, head.data(), head.size()))
        return false;

    std::int64_t limit = length;
    if (reply.stallAfterBytes >= 0)
        limit = std::min(limit, reply.stallAfterBytes);
    if (reply.closeAfterBytes >= 0)
        limit = std::min(limit, reply.closeAfterBytes);

    const std::int64_t piece
            = reply.paceBytes > 0 ? reply.paceBytes : static_cast<std::int64_t>(kSendChunk);
    std::vector<char> chunk(static_cast<std::size_t>(piece));
    for (std::int64_t sent = 0; sent < limit && !stopping_;) {
        const std::size_t run
                = static_cast<std::size_t>(std::min<std::int64_t>(piece, limit - sent));
        if (generated)
            fillPattern(chunk.data(), sent, run);
        else
            std::memcpy(chunk.data(), reply.body.data() + sent, run);
        char size[32];
        std::snprintf(size, sizeof size, "%zx\r\n", run);
        if ((reply.chunked && !sendAll(socket, size, std::strlen(size)))
            || !sendAll(socket, chunk.data(), run)
            || (reply.chunked && !sendAll(socket, "\r\n", 2)))
            return false;
        sent += static_cast<std::int64_t>(run);
        if (reply.paceBytes > 0)
            std::this_thread::sleep_for(reply.paceInterval);
    }
    if (reply.chunked && limit == length && !sendAll(socket, "0\r\n\r\n", 5))
        return false;

    if (reply.stallAfterBytes >= 0 && reply.stallAfterBytes < length) {
        const auto until = std::chrono::steady_clock::now() + reply.stallFor;
        while (!stopping_ && std::chrono::steady_clock::now() < until) {
            // The client closing its end ends the stall early.
            pollfd waiting{socket, POLLIN, 0};
            if (::poll(&waiting, 1, 20) > 0) {
                char probe;
                if (::recv(socket, &probe, 1, MSG_PEEK) <= 0)
                    break;
            }
        }
        return false;
    }
    if (reply.closeAfterBytes >= 0 && reply.closeAfterBytes < length)
        return false;
    return reply.sendContentLength && reply.announcedLength < 0;
}

} // namespace fakestore
