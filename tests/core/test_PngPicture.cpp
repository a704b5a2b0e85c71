// What a picture decoder is shown of a PNG file: whether it has a header, and
// where its image data ends (offsets counted by hand from the chunk sizes).

#include "Check.h"
#include "MemorySource.h"
#include "PngPicture.h"

#include <vector>

using namespace lumbrik;
using namespace lumbrik::fixtures;

TEST_CASE("the picture's header and the end of its image data")
{
    const std::string head = pngSignature() + ihdr();        // 33 bytes
    const std::string idat = chunk("IDAT", IMAGE_DATA);      // 37 bytes
    const std::string text = chunk("tEXt", std::string("a\0b", 3)); // 15 bytes
    const auto header = [](const char *abFields) {
        return chunk("IHDR", bigEndian(IMAGE_WIDTH) + bigEndian(IMAGE_HEIGHT) + std::string(abFields, 5));
    };
    struct Row {
        const char *sName;
        std::string file;
        bool bHeader;
        std::int64_t iImageDataEnd;
    };
    const std::vector<Row> rows = {
        {"a voucher: up to its payload", goodVoucher(), true, 70},
        {"two IDAT chunks", head + idat + idat + chunk("IEND", ""), true, 107},
        {"a text chunk before the image data", head + text + idat + chunk("IEND", ""), true, 85},
        {"a text chunk ends the first run of IDAT chunks", head + idat + text + idat, true, 70},
        {"an IDAT chunk past the end: the end of the file", head + chunkHeader("IDAT", 1000) + "abc", true, 44},
        {"a cut chunk header after the image data", head + idat + "\0\0", true, 70},
        {"no image data", head + chunk("IEND", ""), true, -1},
        {"PLTE with a wrong CRC", head + chunk("PLTE", "\1\2\3", Crc::Wrong) + idat, true, 85},
        {"palette picture, 4 bit, interlaced", pngSignature() + header("\4\3\0\0\1") + idat, true, 70},
        {"16-bit grey", pngSignature() + header("\x10\0\0\0\0") + idat, true, 70},
        {"not a PNG", "GIF89a", false, -1},
        {"empty", "", false, -1},
        {"IHDR with a wrong CRC", pngSignature() + chunk("IHDR", ihdr().substr(8, 13), Crc::Wrong) + idat, false, -1},
        {"IHDR not the first chunk", pngSignature() + text + ihdr() + idat, false, -1},
        {"IHDR cut short", pngSignature() + ihdr().substr(0, 16), false, -1},
        {"IHDR one byte short", pngSignature() + chunk("IHDR", ihdr().substr(8, 12)) + idat, false, -1},
        {"width 0", pngSignature() + chunk("IHDR", bigEndian(0) + ihdr().substr(12, 9)) + idat, false, -1},
        {"height 2^31", pngSignature() + chunk("IHDR", ihdr().substr(8, 4) + bigEndian(0x80000000u) + ihdr().substr(16, 5)) + idat,
         false, -1},
        {"bit depth 3", pngSignature() + header("\3\0\0\0\0") + idat, false, -1},
        {"RGB at 4 bits", pngSignature() + header("\4\2\0\0\0") + idat, false, -1},
        {"colour type 1", pngSignature() + header("\x08\1\0\0\0") + idat, false, -1},
        {"compression method 1", pngSignature() + header("\x08\2\1\0\0") + idat, false, -1},
        {"filter method 1", pngSignature() + header("\x08\2\0\1\0") + idat, false, -1},
        {"interlace method 2", pngSignature() + header("\x08\2\0\0\2") + idat, false, -1},
    };
    for (const Row &row : rows) {
        INFO(std::string(row.sName));
        MemorySource file(row.file);
        const PictureExtent extent = examinePicture(file);
        CHECK(extent.bHeader == row.bHeader);
        CHECK(extent.iImageDataEnd == row.iImageDataEnd);
    }
}

TEST_CASE("the clean end chunk is a well-formed IEND chunk")
{
    CHECK(std::string(PNG_END_CHUNK, PNG_END_CHUNK_LEN) == chunk("IEND", ""));
}
