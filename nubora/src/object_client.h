#pragma once

#include <atomic>
#include <ctime>
#include <memory>
#include <string>

#include "curl_http_client.h"
#include "object_request.h"
#include "signer.h"

namespace nubora {

struct Credentials
{
    std::string accessKeyId;
    std::string accessKeySecret;
    std::string securityToken;
};

class CredentialsProvider
{
public:
    virtual ~CredentialsProvider() = default;
    virtual Credentials credentials() const = 0;
};

class SimpleCredentialsProvider : public CredentialsProvider
{
public:
    explicit SimpleCredentialsProvider(Credentials credentials)
        : credentials_(std::move(credentials))
    {}
    Credentials credentials() const override { return credentials_; }

private:
    Credentials credentials_;
};

// "Mon, 07 Dec 2026 00:20:44 GMT", English names whatever the locale.
std::string formatHttpDate(std::time_t utcSeconds);

// The attempt loop: retries what the strategy allows and corrects the request
// date when the server reports a skewed clock.
class Client
{
public:
    explicit Client(const TransportSettings &settings,
                    HandlePool::HandleFactory createHandle = curl_easy_init);
    virtual ~Client() = default;
    Client(const Client &) = delete;
    Client &operator=(const Client &) = delete;

    // Seconds added to the local clock when dating a request.
    std::int64_t dateOffset() const { return dateOffset_; }

    HttpClient &transport() { return *transport_; }

protected:
    struct AttemptsOutcome
    {
        std::shared_ptr<HttpResponse> response; // of the last attempt
        bool success = false;
        TransportError error;
    };

    AttemptsOutcome runAttempts(const StoreRequest &request, HttpMethod method);
    virtual std::unique_ptr<HttpRequest> buildHttpRequest(const StoreRequest &request,
                                                          HttpMethod method)
            = 0;
    // Marks a response that fails the success test; may rewrite its status.
    virtual bool hasResponseError(const HttpRequest &request, HttpResponse *response) const;

    const TransportSettings &settings() const { return settings_; }

private:
    std::shared_ptr<HttpResponse>
    attemptOnce(const StoreRequest &request, HttpMethod method, bool &success);
    void correctClockSkew(const TransportError &error);

    const TransportSettings settings_;
    std::shared_ptr<CurlHttpClient> transport_;
    std::atomic<std::int64_t> dateOffset_{0};
};

// Signed object GETs against one endpoint.
class ObjectClient : public Client
{
public:
    ObjectClient(std::string endpoint,
                 std::string accessKeyId,
                 std::string accessKeySecret,
                 const TransportSettings &settings,
                 HandlePool::HandleFactory createHandle = curl_easy_init);

    FetchOutcome getObject(const GetObjectRequest &request);

protected:
    std::unique_ptr<HttpRequest> buildHttpRequest(const StoreRequest &request,
                                                  HttpMethod method) override;
    bool hasResponseError(const HttpRequest &request, HttpResponse *response) const override;

private:
    void sign(const StoreRequest &request, HttpRequest &httpRequest) const;

    const std::string endpoint_;
    std::shared_ptr<CredentialsProvider> credentialsProvider_;
    std::shared_ptr<Signer> signer_;
};

} // namespace nubora
