#pragma once

#include <ctime>
#include <optional>
#include <string>

#include "http_message.h"

namespace nubora {

// One failed attempt, as the transport or the success test saw it.
struct TransportError
{
    int status = 0;
    std::string code;
    std::string message;
    HeaderMap headers;
};

// What the caller of a download sees.
struct RequestError
{
    int status = 0; // as in TransportError; 0 when no attempt was made
    std::string code;
    std::string message;
    std::string requestId;
    std::string hostId;
};

bool isServerErrorStatus(int status);

// A missing response, an HTTP error with its body, or a client-side status with
// its text.
TransportError transportErrorFrom(const HttpResponse *response);

// Reads the store's XML error document when there is one.
RequestError toRequestError(const TransportError &error);

// "ServerTime" of a RequestTimeTooSkewed document, as UTC seconds.
std::optional<std::time_t> serverTimeFromSkewError(const std::string &message);

// A body stream's text, read from its start.
std::string bodyText(const HttpResponse &response);

} // namespace nubora
