#pragma once
// Decodes a voucher's picture for display with the system's picture decoder,
// always as PNG whatever the file's name or content says.

#include <windows.h>

#include <string_view>

namespace lumbrik {

struct Picture {
    bool bHeader = false;       // the PNG header (IHDR) was read and is valid
    HBITMAP hBitmap = nullptr;  // what could be decoded, on the window's colour; null when nothing could
};

// Decodes the picture in the file's bytes abFile. The decoder is shown them
// only up to the end of the image data, followed by a well-formed end chunk: a
// voucher's end chunk carries a payload, and a fault after the image data
// (such as a wrong CRC) would otherwise make the decoder drop a picture that
// is whole. The caller owns the bitmap.
Picture decodePicture(std::string_view abFile);

} // namespace lumbrik
