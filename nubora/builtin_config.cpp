#include "builtin_config.h"

#include <cstdlib>
#include <mutex>
#include <set>
#include <string>

namespace nubora {

namespace {

// Callers keep the returned pointers for as long as an object lives, even when
// the environment changes meanwhile, so each distinct value is kept for good.
const char *interned(const char *variable, const char *builtIn)
{
    static std::mutex mutex;
    static std::set<std::string> values;
    const char *fromEnvironment = std::getenv(variable);
    std::lock_guard<std::mutex> lock(mutex);
    return values.insert(fromEnvironment ? fromEnvironment : builtIn).first->c_str();
}

} // namespace

const char *configuredEndpoint()
{
    return interned("NUBORA_ENDPOINT", NUBORA_DEFAULT_ENDPOINT);
}

const char *configuredAccessKeyId()
{
    return interned("NUBORA_ACCESS_KEY_ID", NUBORA_DEFAULT_ACCESS_KEY_ID);
}

const char *configuredAccessKeySecret()
{
    return interned("NUBORA_ACCESS_KEY_SECRET", NUBORA_DEFAULT_ACCESS_KEY_SECRET);
}

} // namespace nubora
