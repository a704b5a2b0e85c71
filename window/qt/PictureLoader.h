#pragma once
// Loads a voucher's picture for display, always as PNG whatever the file's name
// or content says.

#include <QImage>
#include <QString>

namespace lumbrik {

struct Picture {
    bool bHeader = false; // the PNG header (IHDR) was read and is valid
    QImage image;         // what could be decoded; null when nothing could
};

// Decodes the picture in sFile. The decoder is shown the file only up to the end
// of its image data, followed by a well-formed end chunk: a voucher's end chunk
// carries a payload, and a fault after the image data (such as a wrong CRC)
// would otherwise make the decoder drop a picture that is whole.
// A missing file, a file that is not PNG, or one whose first chunk is not a
// whole, valid IHDR chunk has no header; any fault after that chunk leaves the
// header read and costs at most the picture (then null).
Picture loadPicture(const QString &sFile);

} // namespace lumbrik
