#include "error_conversion.h"

#include <cstdio>
#include <iterator>
#include <sstream>

#include <tinyxml2.h>

namespace nubora {

namespace {

bool startsWith(const char *text, const char *prefix)
{
    return text && std::string(text).compare(0, std::string(prefix).size(), prefix) == 0;
}

std::string childText(const tinyxml2::XMLElement *parent, const char *name)
{
    const tinyxml2::XMLElement *child = parent->FirstChildElement(name);
    const char *text = child ? child->GetText() : nullptr;
    return text ? text : "";
}

} // namespace

bool isServerErrorStatus(int status)
{
    return status == 203 || (status >= 300 && status <= 599);
}

std::string bodyText(const HttpResponse &response)
{
    if (!response.body())
        return {};
    std::iostream &stream = *response.body();
    stream.clear();
    stream.seekg(0, std::ios::beg);
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
}

TransportError transportErrorFrom(const HttpResponse *response)
{
    TransportError error;
    if (!response) {
        error.code = "NullptrError";
        error.message = "HttpResponse is nullptr, should not be here.";
        return error;
    }
    error.status = response->statusCode();
    error.headers = response->headers();
    if (isServerErrorStatus(error.status)) {
        error.code = "ServerError:" + std::to_string(error.status);
        error.message = bodyText(*response);
    } else {
        error.code = "ClientError:" + std::to_string(error.status);
        error.message = response->statusText();
    }
    return error;
}

RequestError toRequestError(const TransportError &error)
{
    RequestError converted;
    converted.status = error.status;
    if (isServerErrorStatus(error.status) && !error.message.empty()) {
        tinyxml2::XMLDocument document;
        const tinyxml2::XMLError parsed
                = document.Parse(error.message.data(), error.message.size());
        const tinyxml2::XMLElement *root = document.RootElement();
        if (parsed != tinyxml2::XML_SUCCESS) {
            converted.code = "ParseXMLError:" + std::to_string(static_cast<int>(parsed));
            converted.message = tinyxml2::XMLDocument::ErrorIDToName(parsed);
        } else if (!root || !startsWith(root->Name(), "Error")) {
            converted.code = "ParseXMLError";
            converted.message = "Xml format invalid, root node name is not Error. the content is:\n"
                                + error.message;
        } else {
            converted.code = childText(root, "Code");
            converted.message = childText(root, "Message");
            converted.requestId = childText(root, "RequestId");
            converted.hostId = childText(root, "HostId");
        }
    } else {
        converted.code = error.code;
        converted.message = error.message;
    }

    if (converted.requestId.empty()) {
        const auto found = error.headers.find("x-oss-request-id");
        if (found != error.headers.end())
            converted.requestId = found->second;
    }
    return converted;
}

std::optional<std::time_t> serverTimeFromSkewError(const std::string &message)
{
    tinyxml2::XMLDocument document;
    if (document.Parse(message.data(), message.size()) != tinyxml2::XML_SUCCESS)
        return std::nullopt;
    const tinyxml2::XMLElement *root = document.RootElement();
    if (!root || !startsWith(root->Name(), "Error"))
        return std::nullopt;
    const tinyxml2::XMLElement *serverTime = root->FirstChildElement("ServerTime");
    const char *text = serverTime ? serverTime->GetText() : nullptr;
    if (!text)
        return std::nullopt;

    std::tm utc{};
    int fraction = 0;
    if (std::sscanf(text,
                    "%4d-%2d-%2dT%2d:%2d:%2d.%dZ",
                    &utc.tm_year,
                    &utc.tm_mon,
                    &utc.tm_mday,
                    &utc.tm_hour,
                    &utc.tm_min,
                    &utc.tm_sec,
                    &fraction)
        != 7)
        return std::nullopt;
    utc.tm_year -= 1900;
    utc.tm_mon -= 1;
    const std::time_t seconds = timegm(&utc);
    if (seconds == static_cast<std::time_t>(-1))
        return std::nullopt;
    return seconds;
}

} // namespace nubora
