#pragma once

namespace nubora {

// The built-in endpoint and key pair, each overridden by its NUBORA_* environment
// variable when set. The texts live until the process ends.
const char *configuredEndpoint();
const char *configuredAccessKeyId();
const char *configuredAccessKeySecret();

} // namespace nubora
