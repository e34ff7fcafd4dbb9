#include "object_request.h"

#include <cstdlib>

namespace nubora {

HeaderMap StoreRequest::headers() const
{
    HeaderMap headers = specialHeaders();
    if (!headers.count("Content-Type"))
        headers["Content-Type"] = "application/xml";
    return headers;
}

int ObjectRequest::validate() const
{
    if (!isValidBucketName(bucket_))
        return kInvalidBucketName;
    if (!isValidObjectKey(key_))
        return kInvalidObjectKey;
    return kValidationOk;
}

GetObjectRequest::GetObjectRequest(std::string bucket, std::string key)
    : ObjectRequest(std::move(bucket), std::move(key))
{
    setFlags(flags() | kRequestCrc64Check);
}

std::int64_t GetObjectResult::contentLength() const
{
    const auto found = metadata.find("Content-Length");
    return found == metadata.end() ? -1 : std::strtoll(found->second.c_str(), nullptr, 10);
}

} // namespace nubora
