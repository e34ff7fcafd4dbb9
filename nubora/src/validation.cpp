#include "validation.h"

#include <regex>

namespace nubora {

namespace {
constexpr int kFirstNumber = 101000;
constexpr int kLastNumber = 101999;
constexpr std::size_t kKeyLimit = 1024;

const char *const kMessages[] = {
        "",
        "The bucket name is invalid. A bucket name must  be comprised of lower-case characters, "
        "numbers or "
        "dash(-) with 3-63 characters long.",
        "The object key is invalid. An object name should be between 1-1023 bytes long and cannot "
        "begin with "
        "'/' or '\\'",
};
} // namespace

bool isValidBucketName(const std::string &bucket)
{
    static const std::regex pattern("[a-z0-9][a-z0-9\\-]{1,61}[a-z0-9]");
    return !bucket.empty() && std::regex_match(bucket, pattern);
}

bool isValidObjectKey(const std::string &key)
{
    return !key.empty() && key.size() < kKeyLimit && key.front() != '/' && key.front() != '\\';
}

std::string validationMessage(int errorNumber)
{
    const int index = errorNumber - kFirstNumber;
    const bool known = errorNumber <= kLastNumber && index >= 0
                       && index < static_cast<int>(sizeof kMessages / sizeof kMessages[0]);
    return known ? kMessages[index] : "Model error, but undefined.";
}

} // namespace nubora
