#pragma once
// The PNG layout as the seal check and the picture loader read it: the
// signature, then chunks of length (4 bytes, big-endian), type (4), data, CRC (4).

#include <cstdint>

namespace lumbrik {

inline constexpr int PNG_FILE_HEADER_LEN = 8;
inline constexpr int PNG_CHUNK_HEAER_LEN = 8;   // length and type fields
inline constexpr int PNG_CHUNK_CRC_LEN = 4;
inline constexpr char PNG_SIGNATURE[PNG_FILE_HEADER_LEN + 1] = "\x89PNG\r\n\x1a\n";

// The unsigned big-endian number in the four bytes at ab.
inline std::uint32_t bigEndian32(const char *ab)
{
    const auto *p = reinterpret_cast<const unsigned char *>(ab);
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | std::uint32_t(p[3]);
}

// The CRC-32 of PNG chunks (ISO 3309) of iCount bytes at p, continuing iCrc
// (0 to start).
std::uint32_t crc32(std::uint32_t iCrc, const char *p, std::size_t iCount);

} // namespace lumbrik
