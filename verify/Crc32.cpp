#include "PngChunk.h"

#include <array>
#include <cstddef>

namespace lumbrik {
namespace {

std::array<std::uint32_t, 256> makeCrcTable()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

} // namespace

std::uint32_t crc32(std::uint32_t iCrc, const char *p, std::size_t iCount)
{
    static const std::array<std::uint32_t, 256> table = makeCrcTable();
    std::uint32_t c = iCrc ^ 0xFFFFFFFFu;
    for (std::size_t i = 0; i < iCount; ++i)
        c = table[(c ^ static_cast<unsigned char>(p[i])) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

} // namespace lumbrik
