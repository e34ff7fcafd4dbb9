#pragma once

#include <string>

namespace nubora {

enum ValidationError { kValidationOk = 0, kInvalidBucketName = 101001, kInvalidObjectKey = 101002 };

bool isValidBucketName(const std::string &bucket);
bool isValidObjectKey(const std::string &key);

// The message for a validation error number; numbers outside 101000..101999
// give a generic text.
std::string validationMessage(int errorNumber);

} // namespace nubora
