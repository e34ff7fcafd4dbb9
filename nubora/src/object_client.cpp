#include "object_client.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "diagnostics.h"
#include "url.h"

namespace nubora {

std::string formatHttpDate(std::time_t utcSeconds)
{
    static const char *const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char *const kMonths[]
            = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm utc{};
    gmtime_r(&utcSeconds, &utc);
    char text[64];
    std::snprintf(text,
                  sizeof text,
                  "%s, %02d %s %04d %02d:%02d:%02d GMT",
                  kDays[utc.tm_wday],
                  utc.tm_mday,
                  kMonths[utc.tm_mon],
                  utc.tm_year + 1900,
                  utc.tm_hour,
                  utc.tm_min,
                  utc.tm_sec);
    return text;
}

Client::Client(const TransportSettings &settings, HandlePool::HandleFactory createHandle)
    : settings_(settings)
    , transport_(std::make_shared<CurlHttpClient>(settings, std::move(createHandle)))
{}

bool Client::hasResponseError(const HttpRequest &request, HttpResponse *response) const
{
    return !response || !request.isSuccessStatus(response->statusCode());
}

std::shared_ptr<HttpResponse>
Client::attemptOnce(const StoreRequest &request, HttpMethod method, bool &success)
{
    std::unique_ptr<HttpRequest> httpRequest = buildHttpRequest(request, method);
    std::shared_ptr<HttpResponse> response = transport_->makeRequest(*httpRequest);
    success = !hasResponseError(*httpRequest, response.get());
    return response;
}

void Client::correctClockSkew(const TransportError &error)
{
    if (!settings_.correctClockSkew || !isClockSkewError(error))
        return;
    if (const auto serverTime = serverTimeFromSkewError(error.message))
        dateOffset_ = static_cast<std::int64_t>(*serverTime - std::time(nullptr));
}

Client::AttemptsOutcome Client::runAttempts(const StoreRequest &request, HttpMethod method)
{
    AttemptsOutcome outcome;
    outcome.response = attemptOnce(request, method, outcome.success);
    long retries = 0;
    while (!outcome.success && transport_->isEnabled()) {
        outcome.error = transportErrorFrom(outcome.response.get());
        correctClockSkew(outcome.error);
        const RetryStrategy &strategy = *settings_.retryStrategy;
        if (!strategy.mayRetry(outcome.error, retries))
            return outcome;
        transport_->waitForRetry(strategy.delayMs(outcome.error, retries));
        ++retries;
        outcome.response = attemptOnce(request, method, outcome.success);
    }
    if (!outcome.success) {
        outcome.error = TransportError{kRequestsDisabledStatus,
                                       "ClientError:100002",
                                       "Disable all requests by upper.",
                                       {}};
    }
    return outcome;
}

ObjectClient::ObjectClient(std::string endpoint,
                           std::string accessKeyId,
                           std::string accessKeySecret,
                           const TransportSettings &settings,
                           HandlePool::HandleFactory createHandle)
    : Client(settings, std::move(createHandle))
    , endpoint_(std::move(endpoint))
    , credentialsProvider_(std::make_shared<SimpleCredentialsProvider>(
              Credentials{std::move(accessKeyId), std::move(accessKeySecret), {}}))
    , signer_(std::make_shared<HmacSha1Signer>())
{}

void ObjectClient::sign(const StoreRequest &request, HttpRequest &httpRequest) const
{
    const Credentials credentials = credentialsProvider_->credentials();
    if (!credentials.securityToken.empty())
        httpRequest.setHeader("x-oss-security-token", credentials.securityToken);
    const std::string canonical
            = canonicalString(httpRequest.method(),
                              httpRequest.headers(),
                              request.parameters(),
                              canonicalResource(request.bucket(), request.key()));
    const std::string authorization = "OSS " + credentials.accessKeyId + ":"
                                      + signer_->sign(credentials.accessKeySecret, canonical);
    httpRequest.setHeader("Authorization", authorization);
    logMessage(LogLevel::Debug,
               kClientLogTag,
               "client(%p) request(%p) CanonicalString:%s",
               static_cast<const void *>(this),
               static_cast<void *>(&httpRequest),
               canonical.c_str());
    logMessage(LogLevel::Debug,
               kClientLogTag,
               "client(%p) request(%p) Authorization:%s",
               static_cast<const void *>(this),
               static_cast<void *>(&httpRequest),
               authorization.c_str());
}

std::unique_ptr<HttpRequest> ObjectClient::buildHttpRequest(const StoreRequest &request,
                                                            HttpMethod method)
{
    auto httpRequest = std::make_unique<HttpRequest>(method);
    static_cast<ResponseBodyOptions &>(*httpRequest) = request;

    for (const auto &[key, value] : request.headers())
        httpRequest->setHeader(key, value);
    httpRequest->setHeader("User-Agent", settings().userAgent);
    if (httpRequest->hasHeader("x-oss-date"))
        httpRequest->setHeader("Date", httpRequest->header("x-oss-date"));
    if (!httpRequest->hasHeader("Date"))
        httpRequest->setHeader(
                "Date",
                formatHttpDate(std::time(nullptr) + static_cast<std::time_t>(dateOffset())));

    if (BodyStream body = request.body()) {
        httpRequest->setBody(std::move(body));
    } else if (method == HttpMethod::Get || method == HttpMethod::Post) {
        httpRequest->setHeader("Content-Length", "0");
    } else {
        httpRequest->removeHeader("Content-Length");
    }

    sign(request, *httpRequest);

    const ObjectLocation location = locateObject(parseEndpoint(endpoint_, settings().scheme),
                                                 request.bucket(),
                                                 request.key(),
                                                 request.parameters(),
                                                 settings().customDomain);
    httpRequest->setUrl(location.url());
    logMessage(LogLevel::Debug,
               kClientLogTag,
               "client(%p) request(%p) host:%s, path:%s",
               static_cast<const void *>(this),
               static_cast<void *>(httpRequest.get()),
               location.host.c_str(),
               location.path.c_str());

    httpRequest->setCrc64CheckEnabled(settings().crc64Check
                                      && (request.flags() & kRequestCrc64Check));
    return httpRequest;
}

bool ObjectClient::hasResponseError(const HttpRequest &request, HttpResponse *response) const
{
    if (Client::hasResponseError(request, response))
        return true;
    if (request.contentRequired() && request.transferredBytes() == 0) {
        response->setStatus(kMissingContentStatus,
                            "The object is empty. RequestId:"
                                    + response->header("x-oss-request-id"));
        return true;
    }
    if (!request.crc64CheckEnabled() || request.hasHeader("Range"))
        return false;
    if (!response->hasHeader("x-oss-hash-crc64ecma")) {
        if (!request.checksumRequired())
            return false;
        response->setStatus(kMissingChecksumStatus,
                            "The answer carries no x-oss-hash-crc64ecma header. RequestId:"
                                    + response->header("x-oss-request-id"));
        return true;
    }

    const std::string expected = response->header("x-oss-hash-crc64ecma");
    const std::uint64_t calculated = request.transferredCrc64();
    if (std::strtoull(expected.c_str(), nullptr, 10) == calculated)
        return false;
    response->setStatus(kCrc64MismatchStatus,
                        "Crc64 validation failed. Expected hash:" + expected
                                + " not equal to calculated hash:" + std::to_string(calculated)
                                + ". Transferd bytes:" + std::to_string(request.transferredBytes())
                                + ". RequestId:" + response->header("x-oss-request-id"));
    return true;
}

FetchOutcome ObjectClient::getObject(const GetObjectRequest &request)
{
    FetchOutcome outcome;
    if (const int invalid = request.validate()) {
        outcome.error.code = "ValidateError";
        outcome.error.message = validationMessage(invalid);
        return outcome;
    }

    AttemptsOutcome attempts = runAttempts(request, HttpMethod::Get);
    if (!attempts.success) {
        outcome.error = toRequestError(attempts.error);
        return outcome;
    }
    outcome.success = true;
    outcome.result.requestId = attempts.response->header("x-oss-request-id");
    outcome.result.metadata = attempts.response->headers();
    outcome.result.content = attempts.response->body();
    return outcome;
}

} // namespace nubora
