#include "crc64.h"

#include <array>
#include <cstring>

namespace nubora {
namespace {

constexpr std::uint64_t kReflectedPolynomial = 0xC96C5795D7870F42ULL;
constexpr int kSlices = 16;

using SliceTables = std::array<std::array<std::uint64_t, 256>, kSlices>;

constexpr SliceTables makeTables()
{
    SliceTables tables{};
    for (std::uint64_t byte = 0; byte < 256; ++byte) {
        std::uint64_t crc = byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ kReflectedPolynomial : crc >> 1;
        tables[0][byte] = crc;
    }
    // Table k advances a byte through k further zero bytes, so sixteen input
    // bytes fold in with sixteen independent look-ups.
    for (int slice = 1; slice < kSlices; ++slice)
        for (std::size_t byte = 0; byte < 256; ++byte) {
            const std::uint64_t previous = tables[slice - 1][byte];
            tables[slice][byte] = (previous >> 8) ^ tables[0][previous & 0xFF];
        }
    return tables;
}

constexpr SliceTables kTables = makeTables();

std::uint64_t loadLittleEndian64(const unsigned char *bytes)
{
    std::uint64_t value;
    std::memcpy(&value, bytes, sizeof value);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    value = __builtin_bswap64(value);
#endif
    return value;
}

}

std::uint64_t crc64Update(std::uint64_t previous, const void *data, std::size_t length)
{
    const auto *bytes = static_cast<const unsigned char *>(data);
    std::uint64_t crc = ~previous;

    while (length >= kSlices) {
        const std::uint64_t low = crc ^ loadLittleEndian64(bytes);
        const std::uint64_t high = loadLittleEndian64(bytes + 8);
        crc = kTables[15][low & 0xFF] ^ kTables[14][(low >> 8) & 0xFF]
            ^ kTables[13][(low >> 16) & 0xFF] ^ kTables[12][(low >> 24) & 0xFF]
            ^ kTables[11][(low >> 32) & 0xFF] ^ kTables[10][(low >> 40) & 0xFF]
            ^ kTables[9][(low >> 48) & 0xFF] ^ kTables[8][low >> 56]
            ^ kTables[7][high & 0xFF] ^ kTables[6][(high >> 8) & 0xFF]
            ^ kTables[5][(high >> 16) & 0xFF] ^ kTables[4][(high >> 24) & 0xFF]
            ^ kTables[3][(high >> 32) & 0xFF] ^ kTables[2][(high >> 40) & 0xFF]
            ^ kTables[1][(high >> 48) & 0xFF] ^ kTables[0][high >> 56];
        bytes += kSlices;
        length -= kSlices;
    }
    while (length-- > 0)
        crc = kTables[0][(crc ^ *bytes++) & 0xFF] ^ (crc >> 8);

    return ~crc;
}

}
