#pragma once

#include <string>

#include "error_conversion.h"
#include "http_message.h"
#include "validation.h"

namespace nubora {

enum RequestFlag { kRequestCrc64Check = 1 << 0 };

class ServiceRequest : public ResponseBodyOptions
{
public:
    virtual ~ServiceRequest() = default;

    int flags() const { return flags_; }
    void setFlags(int flags) { flags_ = flags; }

private:
    int flags_ = 0;
};

class StoreRequest : public ServiceRequest
{
public:
    // The special headers plus "Content-Type: application/xml" unless one is given.
    HeaderMap headers() const;
    virtual ParameterMap parameters() const { return {}; }
    virtual BodyStream body() const { return nullptr; }
    // kValidationOk or a ValidationError number.
    virtual int validate() const { return kValidationOk; }

    virtual std::string bucket() const { return {}; }
    virtual std::string key() const { return {}; }

protected:
    virtual HeaderMap specialHeaders() const { return {}; }
};

class ObjectRequest : public StoreRequest
{
public:
    ObjectRequest(std::string bucket, std::string key)
        : bucket_(std::move(bucket))
        , key_(std::move(key))
    {}
    int validate() const override;
    std::string bucket() const override { return bucket_; }
    std::string key() const override { return key_; }

private:
    std::string bucket_;
    std::string key_;
};

class GetObjectRequest : public ObjectRequest
{
public:
    GetObjectRequest(std::string bucket, std::string key);
    // Range, conditions and response overrides travel as headers and parameters.
    void setHeader(const std::string &key, const std::string &value) { headers_[key] = value; }
    void setParameter(const std::string &key, const std::string &value)
    {
        parameters_[key] = value;
    }
    ParameterMap parameters() const override { return parameters_; }

protected:
    HeaderMap specialHeaders() const override { return headers_; }

private:
    HeaderMap headers_;
    ParameterMap parameters_;
};

struct GetObjectResult
{
    std::string requestId;
    BodyStream content;
    HeaderMap metadata;
    // The answer's Content-Length, -1 when it carried none.
    std::int64_t contentLength() const;
};

struct FetchOutcome
{
    bool success = false;
    GetObjectResult result;
    RequestError error;
};

} // namespace nubora
