#include "signer.h"

#include <algorithm>
#include <set>

#include <openssl/evp.h>
#include <openssl/hmac.h>

namespace nubora {

namespace {

const std::set<std::string> &signedParameters()
{
    static const std::set<std::string> names = {"acl",
                                                "location",
                                                "bucketInfo",
                                                "stat",
                                                "referer",
                                                "cors",
                                                "website",
                                                "restore",
                                                "logging",
                                                "symlink",
                                                "qos",
                                                "uploadId",
                                                "uploads",
                                                "partNumber",
                                                "response-content-type",
                                                "response-content-language",
                                                "response-expires",
                                                "response-cache-control",
                                                "response-content-disposition",
                                                "response-content-encoding",
                                                "append",
                                                "position",
                                                "lifecycle",
                                                "delete",
                                                "live",
                                                "status",
                                                "comp",
                                                "vod",
                                                "startTime",
                                                "endTime",
                                                "x-oss-process",
                                                "security-token",
                                                "objectMeta",
                                                "callback",
                                                "callback-var",
                                                "tagging",
                                                "policy",
                                                "requestPayment",
                                                "x-oss-traffic-limit",
                                                "encryption",
                                                "qosInfo",
                                                "versioning",
                                                "versionId",
                                                "versions"};
    return names;
}

std::string trimmed(const std::string &text)
{
    const auto isBlank = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
    };
    const auto first = std::find_if_not(text.begin(), text.end(), isBlank);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), isBlank).base();
    return first < last ? std::string(first, last) : std::string();
}

std::string asciiLower(std::string text)
{
    for (char &c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

} // namespace

std::string canonicalResource(const std::string &bucket, const std::string &key)
{
    std::string resource = "/";
    if (!bucket.empty())
        resource += bucket + "/";
    return resource + key;
}

std::string canonicalString(HttpMethod method,
                            const HeaderMap &headers,
                            const ParameterMap &parameters,
                            const std::string &resource)
{
    const auto valueOf = [&headers](const char *key) {
        const auto found = headers.find(key);
        return found == headers.end() ? std::string() : found->second;
    };

    std::string text = httpMethodName(method);
    text += '\n';
    text += valueOf("Content-MD5") + '\n';
    text += valueOf("Content-Type") + '\n';
    text += valueOf("Date") + '\n';
    for (const auto &[key, value] : headers) {
        const std::string name = asciiLower(trimmed(key));
        if (name.compare(0, 6, "x-oss-") == 0)
            text += name + ":" + trimmed(value) + "\n";
    }
    text += resource;

    char separator = '?';
    for (const auto &[key, value] : parameters) {
        if (!signedParameters().count(key))
            continue;
        text += separator;
        text += key;
        if (!value.empty())
            text += "=" + value;
        separator = '&';
    }
    return text;
}

std::string HmacSha1Signer::sign(const std::string &secret, const std::string &text) const
{
    if (text.empty())
        return {};
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestLength = 0;
    if (!HMAC(EVP_sha1(),
              secret.data(),
              static_cast<int>(secret.size()),
              reinterpret_cast<const unsigned char *>(text.data()),
              text.size(),
              digest,
              &digestLength))
        return {};
    unsigned char encoded[4 * ((EVP_MAX_MD_SIZE + 2) / 3) + 1];
    const int encodedLength = EVP_EncodeBlock(encoded, digest, static_cast<int>(digestLength));
    return std::string(reinterpret_cast<const char *>(encoded),
                       static_cast<std::size_t>(encodedLength));
}

} // namespace nubora
