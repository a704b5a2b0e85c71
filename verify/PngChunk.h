#pragma once
// The PNG layout as the seal check and the picture loader read it: the
// signature, then chunks of length (4 bytes, big-endian), type (4), data, CRC (4).

#include <QtGlobal>

namespace lumbrik {

inline constexpr int PNG_FILE_HEADER_LEN = 8;
inline constexpr int PNG_CHUNK_HEAER_LEN = 8;   // length and type fields
inline constexpr int PNG_CHUNK_CRC_LEN = 4;
inline constexpr char PNG_SIGNATURE[PNG_FILE_HEADER_LEN + 1] = "\x89PNG\r\n\x1a\n";

// The unsigned big-endian number in the four bytes at ab.
inline quint32 bigEndian32(const char *ab)
{
    const auto *p = reinterpret_cast<const uchar *>(ab);
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | quint32(p[3]);
}

} // namespace lumbrik
