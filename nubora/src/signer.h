#pragma once

#include <string>

#include "http_message.h"

namespace nubora {

// The text the request signature covers: method, Content-MD5, Content-Type, Date,
// the x-oss-* headers, the resource and the signed sub-resources.
std::string canonicalString(HttpMethod method,
                            const HeaderMap &headers,
                            const ParameterMap &parameters,
                            const std::string &resource);

// "/" + bucket + "/" + key, the key not encoded; empty parts are left out.
std::string canonicalResource(const std::string &bucket, const std::string &key);

class Signer
{
public:
    Signer(std::string name, std::string version)
        : name_(std::move(name))
        , version_(std::move(version))
    {}
    virtual ~Signer() = default;
    virtual std::string sign(const std::string &secret, const std::string &text) const = 0;
    const std::string &name() const { return name_; }
    const std::string &version() const { return version_; }

private:
    std::string name_;
    std::string version_;
};

// Base64 of HMAC-SHA1(secret, text); an empty text gives an empty signature.
class HmacSha1Signer : public Signer
{
public:
    HmacSha1Signer()
        : Signer("HMAC-SHA1", "1.0")
    {}
    std::string sign(const std::string &secret, const std::string &text) const override;
};

} // namespace nubora
