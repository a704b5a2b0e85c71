#pragma once
// What a window's picture decoder is shown of a PNG file: whether its header
// can be read at all, and where its image data ends. A voucher's payload, or a
// fault after the image data (a wrong CRC), must not cost the picture, so the
// decoder gets the file up to that end followed by a well-formed IEND chunk.

#include "Platform.h"

#include <cstdint>
#include <string_view>

namespace lumbrik {

// A well-formed, empty IEND chunk: length, type and CRC.
inline constexpr char PNG_END_CHUNK[] = "\0\0\0\0IEND\xae\x42\x60\x82";
inline constexpr int PNG_END_CHUNK_LEN = 12;

struct PictureExtent {
    bool bHeader = false;        // the signature, then a whole, valid IHDR chunk
    std::int64_t iImageDataEnd = -1; // where the first run of IDAT chunks ends; -1 without one
};

// Examines the PNG file in fs, at position 0. Any fault after the IHDR chunk
// leaves the header read and costs at most the picture.
PictureExtent examinePicture(ByteSource &fs);
// The same for a file's bytes in memory.
PictureExtent examinePicture(std::string_view abFile);

} // namespace lumbrik
