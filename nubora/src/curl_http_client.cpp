#include "curl_http_client.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <istream>
#include <optional>
#include <sstream>
#include <system_error>

#include "crc64.h"
#include "diagnostics.h"
#include "header_line.h"

namespace nubora {

bool HttpClient::isEnabled() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return enabled_;
}

void HttpClient::disable()
{
    std::lock_guard<std::mutex> lock(mutex_);
    enabled_ = false;
    changed_.notify_all();
}

bool HttpClient::waitForRetry(long delayMs)
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(delayMs), [this] { return !enabled_; });
    return enabled_;
}

namespace {

constexpr int kCurlFailureBase = 200000;

// Everything the libcurl callbacks of one transfer share.
struct TransferState
{
    const CurlHttpClient *client = nullptr;
    CURL *handle = nullptr;
    HttpRequest *request = nullptr;
    HttpResponse *response = nullptr;
    std::int64_t transferred = 0;
    std::int64_t expectedTotal = -1;
    bool firstBodyByte = true;
    std::int64_t bodyLimit = INT64_MAX;
    bool successBody = false;
    bool overLimit = false;
    bool conflictingLength = false;
    std::optional<std::streamoff> bodyStart;
    long sendRate = 0;
    long receiveRate = 0;
    bool crc64Check = false;
    std::uint64_t sentCrc64 = 0;
    std::uint64_t receivedCrc64 = 0;
};

void reportProgress(TransferState &state, std::size_t bytes)
{
    if (state.request->progressHandler())
        state.request->progressHandler()(bytes, state.transferred, state.expectedTotal);
}

std::size_t onHeaderLine(char *line, std::size_t size, std::size_t count, void *userData)
{
    auto *state = static_cast<TransferState *>(userData);
    const std::size_t length = size * count;
    if (const auto header = parseHeaderLine(line, length)) {
        // Two lengths leave no way to tell where the body ends.
        if (CaseInsensitiveLess::equal(header->first, "Content-Length")
            && state->response->hasHeader("Content-Length")
            && state->response->header("Content-Length") != header->second)
            state->conflictingLength = true;
        state->response->setHeader(header->first, header->second);
    } else if (isHeaderBlockEnd(line, length) && state->response->hasHeader("Content-Length")) {
        curl_off_t contentLength = -1;
        curl_easy_getinfo(state->handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &contentLength);
        state->expectedTotal = contentLength;
    }
    return length;
}

// The first body byte decides where the body goes: a success body into the
// caller's stream, anything else into memory, so an error document never
// reaches (or empties) a file.
void setResponseBody(TransferState &state)
{
    long responseCode = 0;
    curl_easy_getinfo(state.handle, CURLINFO_RESPONSE_CODE, &responseCode);
    state.successBody = state.request->isSuccessStatus(responseCode);
    if (state.successBody) {
        const BodyStreamFactory &factory = state.request->responseStreamFactory();
        BodyStream body = factory ? factory() : nullptr;
        state.response->setBody(body);
        state.bodyLimit = state.request->maxBodyBytes();
        if (body && !body->fail()) {
            state.bodyStart = body->tellp();
            logMessage(LogLevel::Debug,
                       kTransportLogTag,
                       "request(%p) setResponseBody, recvBodyPos:%lld",
                       static_cast<void *>(state.request),
                       static_cast<long long>(*state.bodyStart));
        }
    } else {
        state.response->setBody(std::make_shared<std::stringstream>());
        // The caller's limit is for its content; an error document has its own.
        state.bodyLimit = kErrorBodyLimit;
    }
    state.firstBodyByte = false;
}

std::size_t onBody(char *data, std::size_t size, std::size_t count, void *userData)
{
    auto *state = static_cast<TransferState *>(userData);
    const std::size_t length = size * count;
    if (!state || !state->response || length == 0)
        return static_cast<std::size_t>(-1);
    if (state->firstBodyByte)
        setResponseBody(*state);

    const BodyStream &body = state->response->body();
    if (!body || body->fail())
        return static_cast<std::size_t>(-2);
    // Past the limit the transfer ends here; an error document keeps what fits.
    const std::int64_t room = state->bodyLimit - state->transferred;
    if (static_cast<std::int64_t>(length) > room) {
        state->overLimit = true;
        if (!state->successBody) {
            body->write(data, static_cast<std::streamsize>(room));
            state->transferred += room;
        }
        return 0;
    }
    body->write(data, static_cast<std::streamsize>(length));
    if (body->bad())
        return static_cast<std::size_t>(-3);

    state->transferred += static_cast<std::int64_t>(length);
    reportProgress(*state, length);
    if (state->crc64Check)
        state->receivedCrc64 = crc64Update(state->receivedCrc64, data, length);
    return length;
}

std::size_t onSend(char *buffer, std::size_t size, std::size_t count, void *userData)
{
    auto *state = static_cast<TransferState *>(userData);
    const BodyStream &body = state->request->body();
    if (!body)
        return 0;
    std::int64_t wanted = static_cast<std::int64_t>(size * count);
    if (state->expectedTotal >= 0)
        wanted = std::min(wanted,
                          std::max<std::int64_t>(0, state->expectedTotal - state->transferred));
    body->read(buffer, static_cast<std::streamsize>(wanted));
    const auto read = static_cast<std::size_t>(body->gcount());

    state->transferred += static_cast<std::int64_t>(read);
    reportProgress(*state, read);
    if (state->crc64Check)
        state->sentCrc64 = crc64Update(state->sentCrc64, buffer, read);
    return read;
}

void followRate(CURL *handle,
                const std::shared_ptr<RateLimiter> &limiter,
                long &applied,
                CURLoption option)
{
    if (!limiter)
        return;
    const long rate = limiter->rateKiBps();
    if (rate != applied) {
        curl_easy_setopt(handle, option, static_cast<curl_off_t>(rate) * 1024);
        applied = rate;
    }
}

int onTransferInfo(void *userData, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto *state = static_cast<TransferState *>(userData);
    if (!state->client->isEnabled())
        return 1;
    followRate(state->handle,
               state->client->settings().sendRateLimiter,
               state->sendRate,
               CURLOPT_MAX_SEND_SPEED_LARGE);
    followRate(state->handle,
               state->client->settings().receiveRateLimiter,
               state->receiveRate,
               CURLOPT_MAX_RECV_SPEED_LARGE);
    return 0;
}

int onDebug(CURL *handle, curl_infotype type, char *data, std::size_t size, void *)
{
    const int length = static_cast<int>(std::min<std::size_t>(size, 1 << 20));
    switch (type) {
    case CURLINFO_TEXT:
        logMessage(
                LogLevel::Info, kTransportLogTag, "handle(%p)=> Info: %.*s", handle, length, data);
        break;
    case CURLINFO_HEADER_IN:
        logMessage(LogLevel::Debug,
                   kTransportLogTag,
                   "handle(%p)=> Recv header: %.*s",
                   handle,
                   length,
                   data);
        break;
    case CURLINFO_HEADER_OUT:
        logMessage(LogLevel::Debug,
                   kTransportLogTag,
                   "handle(%p)=> Send header: %.*s",
                   handle,
                   length,
                   data);
        break;
    default:
        break;
    }
    return 0;
}

// Whether a body of `received` bytes is what the answer's Content-Length announced.
// libcurl ignores a length too large for its integers, and one beside a chunked
// coding, and then takes whatever arrives before the close as the whole body.
bool matchesContentLength(const HttpResponse &response, std::int64_t received)
{
    if (!response.hasHeader("Content-Length"))
        return true;
    const std::string announced = response.header("Content-Length");
    std::int64_t length = 0;
    const auto [end, error]
            = std::from_chars(announced.data(), announced.data() + announced.size(), length);
    return error == std::errc() && end == announced.data() + announced.size() && length == received;
}

std::string writeErrorCause(const HttpResponse &response)
{
    if (!response.body())
        return ". Caused by content is null.";
    if (response.body()->bad())
        return ". Caused by content is in bad state(Read/writing error on i/o operation).";
    if (response.body()->fail())
        return ". Caused by content is in fail state(Logical error on i/o operation).";
    return {};
}

HeaderList buildHeaderList(const HttpRequest &request)
{
    curl_slist *list = nullptr;
    for (const auto &[key, value] : request.headers()) {
        if (value.empty())
            continue;
        const std::string line = key + ": " + value;
        curl_slist *extended = curl_slist_append(list, line.c_str());
        if (!extended)
            break;
        list = extended;
    }
    return HeaderList(list);
}

} // namespace

CurlHttpClient::CurlHttpClient(const TransportSettings &settings,
                               HandlePool::HandleFactory createHandle)
    : settings_(settings)
    , pool_(settings.maximumHandles,
            settings.stallWindowMs,
            settings.connectTimeoutMs,
            std::move(createHandle))
{}

void CurlHttpClient::configureHandle(CURL *handle,
                                     const HttpRequest &request,
                                     curl_slist *headerList,
                                     void *state) const
{
    curl_easy_setopt(handle, CURLOPT_URL, request.url().c_str());
    switch (request.method()) {
    case HttpMethod::Head:
        curl_easy_setopt(handle, CURLOPT_NOBODY, 1L);
        break;
    case HttpMethod::Post:
        curl_easy_setopt(handle, CURLOPT_POST, 1L);
        break;
    case HttpMethod::Put:
        curl_easy_setopt(handle, CURLOPT_UPLOAD, 1L);
        break;
    case HttpMethod::Delete:
        curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, "DELETE");
        break;
    default:
        break;
    }
    curl_easy_setopt(handle, CURLOPT_USERAGENT, settings_.userAgent.c_str());
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headerList);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, state);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, onHeaderLine);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, state);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(handle, CURLOPT_READDATA, state);
    curl_easy_setopt(handle, CURLOPT_READFUNCTION, onSend);
    if (!settings_.verifyTls) {
        curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 0L);
    }
    if (!settings_.caPath.empty())
        curl_easy_setopt(handle, CURLOPT_CAPATH, settings_.caPath.c_str());
    if (!settings_.caFile.empty())
        curl_easy_setopt(handle, CURLOPT_CAINFO, settings_.caFile.c_str());
    if (!settings_.proxyHost.empty()) {
        const std::string proxy = settings_.proxyScheme + "://" + settings_.proxyHost;
        curl_easy_setopt(handle, CURLOPT_PROXY, proxy.c_str());
        curl_easy_setopt(handle, CURLOPT_PROXYPORT, static_cast<long>(settings_.proxyPort));
        curl_easy_setopt(handle, CURLOPT_PROXYUSERNAME, settings_.proxyUserName.c_str());
        curl_easy_setopt(handle, CURLOPT_PROXYPASSWORD, settings_.proxyPassword.c_str());
    }
    if (!settings_.networkInterface.empty())
        curl_easy_setopt(handle, CURLOPT_INTERFACE, settings_.networkInterface.c_str());
    if (diagnosticsEnabled(LogLevel::Info)) {
        curl_easy_setopt(handle, CURLOPT_VERBOSE, 1L);
        curl_easy_setopt(handle, CURLOPT_DEBUGFUNCTION, onDebug);
    }
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, settings_.requestTimeoutMs);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, onTransferInfo);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, state);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
}

std::shared_ptr<HttpResponse> CurlHttpClient::makeRequest(HttpRequest &request)
{
    logMessage(LogLevel::Debug,
               kTransportLogTag,
               "request(%p) enter makeRequest",
               static_cast<void *>(&request));
    const HeaderList headerList = buildHeaderList(request);
    auto response = std::make_shared<HttpResponse>();
    std::optional<std::streampos> requestBodyStart;
    if (request.body())
        requestBodyStart = request.body()->tellg();

    EasyHandle handle = pool_.acquire();
    if (!handle) {
        response->setStatus(kCurlFailureBase + CURLE_FAILED_INIT,
                            std::string(curl_easy_strerror(CURLE_FAILED_INIT))
                                    + ". Caused by no curl handle available.");
        response->setBody(std::make_shared<std::stringstream>());
        return response;
    }
    logMessage(LogLevel::Debug,
               kTransportLogTag,
               "request(%p) acquire curl handle:%p",
               static_cast<void *>(&request),
               static_cast<void *>(handle.get()));

    TransferState state;
    state.client = this;
    state.handle = handle.get();
    state.request = &request;
    state.response = response.get();
    state.crc64Check = request.crc64CheckEnabled();
    if (request.hasHeader("Content-Length"))
        state.expectedTotal = std::strtoll(request.header("Content-Length").c_str(), nullptr, 10);

    configureHandle(handle.get(), request, headerList.get(), &state);
    const CURLcode result = curl_easy_perform(handle.get());
    long responseCode = 0;
    curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, &responseCode);

    const bool sending
            = request.method() == HttpMethod::Post || request.method() == HttpMethod::Put;
    request.setTransferResult(sending ? state.sentCrc64 : state.receivedCrc64, state.transferred);
    // The system's own word on a failed connection or socket, such as "Connection refused".
    long systemError = 0;
    curl_easy_getinfo(handle.get(), CURLINFO_OS_ERRNO, &systemError);
    pool_.release(std::move(handle));

    // A full disk may only show when the last buffered bytes go out.
    CURLcode outcome = result;
    if (const BodyStream &body = response->body(); body && outcome == CURLE_OK && !body->flush())
        outcome = CURLE_WRITE_ERROR;
    if (state.overLimit && !state.successBody) {
        // The status and the start of the document still say what went wrong.
        response->setStatus(static_cast<int>(responseCode));
    } else if (state.overLimit) {
        response->setStatus(kBodyOverLimitStatus,
                            "The body is longer than the limit of "
                                    + std::to_string(request.maxBodyBytes()) + " bytes.");
    } else if (outcome != CURLE_OK) {
        std::string text = curl_easy_strerror(outcome);
        if (outcome == CURLE_WRITE_ERROR)
            text += writeErrorCause(*response);
        else if (systemError != 0)
            text += " (" + std::system_category().message(static_cast<int>(systemError)) + ")";
        response->setStatus(kCurlFailureBase + outcome, text);
    } else if (state.conflictingLength) {
        response->setStatus(kConflictingLengthStatus,
                            "The answer carries conflicting Content-Length headers.");
    } else if (request.method() == HttpMethod::Get && request.isSuccessStatus(responseCode)
               && !matchesContentLength(*response, state.transferred)) {
        response->setStatus(kLengthMismatchStatus,
                            "The body's " + std::to_string(state.transferred)
                                    + " bytes differ from its Content-Length of "
                                    + response->header("Content-Length") + ".");
    } else {
        response->setStatus(static_cast<int>(responseCode));
    }

    if (const BodyStream &body = response->body()) {
        // Back to the start of the body so that a retry overwrites the partial data.
        if (outcome != CURLE_OK && state.bodyStart) {
            body->clear();
            logMessage(LogLevel::Debug,
                       kTransportLogTag,
                       "request(%p) setResponseBody, tellp:%lld, recvBodyPos:%lld",
                       static_cast<void *>(&request),
                       static_cast<long long>(body->tellp()),
                       static_cast<long long>(*state.bodyStart));
            body->seekp(*state.bodyStart);
        }
    } else {
        response->setBody(std::make_shared<std::stringstream>());
    }
    if (requestBodyStart) {
        request.body()->clear();
        request.body()->seekg(*requestBodyStart);
    }

    logMessage(LogLevel::Debug,
               kTransportLogTag,
               "request(%p) leave makeRequest, CURLcode:%d, ResponseCode:%d",
               static_cast<void *>(&request),
               static_cast<int>(result),
               static_cast<int>(responseCode));
    return response;
}

} // namespace nubora
