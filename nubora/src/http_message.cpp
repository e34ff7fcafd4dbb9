#include "http_message.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace nubora {

bool CaseInsensitiveLess::operator()(const std::string &left, const std::string &right) const
{
    return std::lexicographical_compare(
            left.begin(),
            left.end(),
            right.begin(),
            right.end(),
            [](unsigned char a, unsigned char b) { return std::tolower(a) < std::tolower(b); });
}

bool CaseInsensitiveLess::equal(const std::string &left, const std::string &right)
{
    const CaseInsensitiveLess less;
    return !less(left, right) && !less(right, left);
}

BodyStreamFactory defaultBodyStreamFactory()
{
    return [] {
        return std::make_shared<std::stringstream>();
    };
}

const char *httpMethodName(HttpMethod method)
{
    static const char *const names[]
            = {"GET", "HEAD", "POST", "PUT", "DELETE", "CONNECT", "OPTIONS", "PATCH", "TRACE"};
    return names[static_cast<int>(method)];
}

bool HttpRequest::isSuccessStatus(long status) const
{
    if (method_ != HttpMethod::Get)
        return status / 100 == 2;
    return status == 200 || (status == 206 && hasHeader("Range"));
}

bool HttpMessage::hasHeader(const std::string &key) const
{
    return headers_.count(key) != 0;
}

std::string HttpMessage::header(const std::string &key) const
{
    const auto found = headers_.find(key);
    return found == headers_.end() ? std::string() : found->second;
}

void HttpMessage::setHeader(const std::string &key, const std::string &value)
{
    headers_[key] = value;
}

void HttpMessage::removeHeader(const std::string &key)
{
    headers_.erase(key);
}

} // namespace nubora
