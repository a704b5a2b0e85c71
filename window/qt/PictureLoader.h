#pragma once
// Decodes a voucher's picture for display, always as PNG whatever the file's
// name or content says.

#include <QImage>

#include <string_view>

namespace lumbrik {

struct Picture {
    bool bHeader = false; // the PNG header (IHDR) was read and is valid
    QImage image;         // what could be decoded; null when nothing could
};

// Decodes the picture in the file's bytes abFile. The decoder is shown them
// only up to the end of the image data, followed by a well-formed end chunk: a
// voucher's end chunk carries a payload, and a fault after the image data
// (such as a wrong CRC) would otherwise make the decoder drop a picture that
// is whole. Bytes that are not PNG, or whose first chunk is not a whole, valid
// IHDR chunk, have no header; any fault after that chunk leaves the header
// read and costs at most the picture (then null).
Picture decodePicture(std::string_view abFile);

} // namespace lumbrik
