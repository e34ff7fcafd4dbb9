#pragma once

#include <string>

#include "http_message.h"

namespace nubora {

// Letters, digits and "-_.~" stay; a blank becomes %20; every other byte %XX.
std::string urlEncode(const std::string &text);

struct Endpoint
{
    std::string scheme;
    std::string host; // with the port when the endpoint names one
};

// "scheme://host[:port]"; without a scheme the given default is used.
Endpoint parseEndpoint(const std::string &endpoint, const std::string &defaultScheme);

// Whole dotted-quad match; a trailing ":port" is ignored.
bool isIpv4Host(const std::string &host);

struct ObjectLocation
{
    std::string scheme;
    std::string host;
    std::string path;
    std::string query;
    std::string url() const;
};

// Virtual-host style (bucket.host), or path style (/bucket/key) when the host is
// an IPv4 address; a custom-domain endpoint never takes the bucket.
ObjectLocation locateObject(const Endpoint &endpoint,
                            const std::string &bucket,
                            const std::string &key,
                            const ParameterMap &parameters,
                            bool customDomain);

} // namespace nubora
