#pragma once

#include <cstddef>
#include <cstdint>

namespace nubora {

// CRC-64/XZ (ECMA-182, reflected, all-ones start and final XOR), the checksum the
// object store sends in "x-oss-hash-crc64ecma". Pass the previous result to
// continue over the next block; start with 0.
std::uint64_t crc64Update(std::uint64_t previous, const void *data, std::size_t length);

} // namespace nubora
