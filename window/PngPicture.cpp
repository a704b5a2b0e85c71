#include "PngPicture.h"

#include "MemorySource.h"
#include "PngChunk.h"
#include "SequentialReader.h"

#include <cstring>

namespace lumbrik {
namespace {

constexpr int IHDR_DATA_LEN = 13;

// Whether a PNG header's bit depth goes with its colour type.
bool isValidDepth(unsigned char iColourType, unsigned char iBitDepth)
{
    switch (iColourType) {
    case 0: // grey
        return iBitDepth == 1 || iBitDepth == 2 || iBitDepth == 4 || iBitDepth == 8 || iBitDepth == 16;
    case 3: // palette
        return iBitDepth == 1 || iBitDepth == 2 || iBitDepth == 4 || iBitDepth == 8;
    case 2: // RGB
    case 4: // grey and alpha
    case 6: // RGBA
        return iBitDepth == 8 || iBitDepth == 16;
    default:
        return false;
    }
}

// Whether the reader, just after the PNG signature, goes on with a whole,
// valid IHDR chunk: all a decoder needs to have read for a picture header.
bool readsPictureHeader(SequentialReader &reader)
{
    char ab[PNG_CHUNK_HEAER_LEN + IHDR_DATA_LEN + PNG_CHUNK_CRC_LEN];
    if (!reader.read(ab, sizeof ab) || bigEndian32(ab) != IHDR_DATA_LEN || std::memcmp(ab + 4, "IHDR", 4) != 0)
        return false;
    if (crc32(0, ab + 4, 4 + IHDR_DATA_LEN) != bigEndian32(ab + PNG_CHUNK_HEAER_LEN + IHDR_DATA_LEN))
        return false;
    const char *pData = ab + PNG_CHUNK_HEAER_LEN;
    const std::uint32_t iWidth = bigEndian32(pData), iHeight = bigEndian32(pData + 4);
    const auto *pFields = reinterpret_cast<const unsigned char *>(pData + 8); // depth, colour, compression, filter, interlace
    return iWidth > 0 && iWidth <= 0x7FFFFFFFu && iHeight > 0 && iHeight <= 0x7FFFFFFFu
        && isValidDepth(pFields[1], pFields[0]) && pFields[2] == 0 && pFields[3] == 0 && pFields[4] <= 1;
}

// Where the first run of IDAT chunks ends: at the start of the first chunk
// after it, of the first IEND chunk, or of whatever cannot be read as a chunk;
// -1 when there is no IDAT chunk before that. Reads only chunk headers.
std::int64_t findImageDataEnd(SequentialReader &reader)
{
    bool bFound = false, bInImageData = false;
    std::int64_t iChunk = reader.pos();
    for (; reader.remaining() >= PNG_CHUNK_HEAER_LEN; iChunk = reader.pos()) {
        char abHeader[PNG_CHUNK_HEAER_LEN];
        if (!reader.read(abHeader, PNG_CHUNK_HEAER_LEN))
            break;
        const bool bIsData = std::memcmp(abHeader + 4, "IDAT", 4) == 0;
        if ((bInImageData && !bIsData) || std::memcmp(abHeader + 4, "IEND", 4) == 0)
            break;
        bInImageData = bIsData;
        bFound = bFound || bIsData;
        reader.skip(std::int64_t(bigEndian32(abHeader)) + PNG_CHUNK_CRC_LEN);
    }
    const std::int64_t iSize = reader.pos() + reader.remaining();
    return bFound ? std::min(iChunk, iSize) : -1;
}

} // namespace

PictureExtent examinePicture(ByteSource &fs)
{
    PictureExtent extent;
    SequentialReader reader(fs);
    char abSignature[PNG_FILE_HEADER_LEN];
    if (!reader.read(abSignature, PNG_FILE_HEADER_LEN) || std::memcmp(abSignature, PNG_SIGNATURE, PNG_FILE_HEADER_LEN) != 0)
        return extent;
    extent.bHeader = readsPictureHeader(reader);
    if (extent.bHeader)
        extent.iImageDataEnd = findImageDataEnd(reader);
    return extent;
}

PictureExtent examinePicture(std::string_view abFile)
{
    MemorySource fs(abFile);
    return examinePicture(fs);
}

} // namespace lumbrik
