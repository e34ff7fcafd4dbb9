#include "url.h"

#include <regex>

namespace nubora {

std::string urlEncode(const std::string &text)
{
    static const char kHexDigits[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(text.size() * 3);
    for (const unsigned char c : text) {
        const bool asciiAlphanumeric
                = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (asciiAlphanumeric || c == '-' || c == '_' || c == '.' || c == '~') {
            encoded += static_cast<char>(c);
        } else if (c == ' ') {
            encoded += "%20";
        } else {
            encoded += '%';
            encoded += kHexDigits[c >> 4];
            encoded += kHexDigits[c & 0x0F];
        }
    }
    return encoded;
}

Endpoint parseEndpoint(const std::string &endpoint, const std::string &defaultScheme)
{
    Endpoint parsed;
    std::string rest = endpoint;
    const auto schemeEnd = rest.find("://");
    if (schemeEnd == std::string::npos) {
        parsed.scheme = defaultScheme;
    } else {
        parsed.scheme = rest.substr(0, schemeEnd);
        rest.erase(0, schemeEnd + 3);
    }
    parsed.host = rest.substr(0, rest.find_first_of("/?#"));
    return parsed;
}

bool isIpv4Host(const std::string &host)
{
    static const std::regex pattern("((25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9][0-9]|[0-9])\\.){3}"
                                    "(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9][0-9]|[0-9])");
    return std::regex_match(host.substr(0, host.find(':')), pattern);
}

std::string ObjectLocation::url() const
{
    std::string text = scheme + "://" + host + path;
    if (!query.empty())
        text += "?" + query;
    return text;
}

ObjectLocation locateObject(const Endpoint &endpoint,
                            const std::string &bucket,
                            const std::string &key,
                            const ParameterMap &parameters,
                            bool customDomain)
{
    ObjectLocation location;
    location.scheme = endpoint.scheme;
    const bool pathStyle = isIpv4Host(endpoint.host);
    location.host = (bucket.empty() || customDomain || pathStyle) ? endpoint.host
                                                                  : bucket + "." + endpoint.host;

    location.path = "/";
    if (pathStyle && !bucket.empty())
        location.path += bucket + "/";
    location.path += urlEncode(key);

    for (const auto &[name, value] : parameters) {
        if (!location.query.empty())
            location.query += '&';
        location.query += urlEncode(name);
        if (!value.empty())
            location.query += "=" + urlEncode(value);
    }
    return location;
}

} // namespace nubora
