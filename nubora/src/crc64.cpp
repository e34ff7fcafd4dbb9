#include "crc64.h"

#include <lzma.h>

namespace nubora {

std::uint64_t crc64Update(std::uint64_t previous, const void *data, std::size_t length)
{
    // liblzma's CRC-64 is this very CRC, hardware-accelerated where the processor allows.
    return lzma_crc64(static_cast<const std::uint8_t *>(data), length, previous);
}

} // namespace nubora
