#include "PictureLoader.h"

#include "PngChunk.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QIODevice>

#include <cstring>
#include <memory>

namespace lumbrik {
namespace {

constexpr qint64 SKIP_THROUGH_BUFFER_LEN = 16 * 1024;
const QByteArray END_CHUNK = QByteArray::fromHex("0000000049454e44ae426082");

constexpr int IHDR_DATA_LEN = 13;

// Whether a PNG header's bit depth goes with its colour type.
bool isValidDepth(uchar iColourType, uchar iBitDepth)
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

// Whether file, positioned just after the PNG signature, goes on with a whole,
// valid IHDR chunk. That chunk is all a decoder needs to have read for the
// picture to have a header; faults further on only cost picture content.
bool readsPictureHeader(QFile &file)
{
    const QByteArray ab = file.read(PNG_CHUNK_HEAER_LEN + IHDR_DATA_LEN + PNG_CHUNK_CRC_LEN);
    if (ab.size() != PNG_CHUNK_HEAER_LEN + IHDR_DATA_LEN + PNG_CHUNK_CRC_LEN
        || bigEndian32(ab.constData()) != IHDR_DATA_LEN || !ab.mid(4, 4).startsWith("IHDR"))
        return false;
    if (crc32(0, ab.constData() + 4, 4 + IHDR_DATA_LEN) != bigEndian32(ab.constData() + PNG_CHUNK_HEAER_LEN + IHDR_DATA_LEN))
        return false;
    const char *pData = ab.constData() + PNG_CHUNK_HEAER_LEN;
    const quint32 iWidth = bigEndian32(pData), iHeight = bigEndian32(pData + 4);
    const auto *pFields = reinterpret_cast<const uchar *>(pData + 8); // depth, colour, compression, filter, interlace
    return iWidth > 0 && iWidth <= 0x7FFFFFFFu && iHeight > 0 && iHeight <= 0x7FFFFFFFu
        && isValidDepth(pFields[1], pFields[0]) && pFields[2] == 0 && pFields[3] == 0 && pFields[4] <= 1;
}

// Moves file forward to iPos: through its buffer when that is near, so that a
// run of small chunks costs no system call each.
bool moveTo(QFile &file, qint64 iPos)
{
    const qint64 iAhead = iPos - file.pos();
    if (iAhead >= 0 && iAhead <= SKIP_THROUGH_BUFFER_LEN)
        return file.skip(iAhead) == iAhead;
    return file.seek(iPos);
}

// Where the picture's image data ends in file: at the start of the first chunk
// after the first run of IDAT chunks, of the first IEND chunk, or of whatever
// cannot be read as a chunk; -1 when there is no IDAT chunk before that.
// Reads only chunk headers.
qint64 findImageDataEnd(QFile &file)
{
    const qint64 iSize = file.size();
    qint64 iPos = PNG_FILE_HEADER_LEN;
    bool bFound = false, bInImageData = false;
    while (iPos + PNG_CHUNK_HEAER_LEN <= iSize && moveTo(file, iPos)) {
        char abHeader[PNG_CHUNK_HEAER_LEN];
        if (file.read(abHeader, PNG_CHUNK_HEAER_LEN) != PNG_CHUNK_HEAER_LEN)
            break;
        const bool bIsData = std::memcmp(abHeader + 4, "IDAT", 4) == 0;
        if ((bInImageData && !bIsData) || std::memcmp(abHeader + 4, "IEND", 4) == 0)
            break;
        bInImageData = bIsData;
        bFound = bFound || bIsData;
        iPos += PNG_CHUNK_HEAER_LEN + qint64(bigEndian32(abHeader)) + PNG_CHUNK_CRC_LEN;
    }
    return bFound ? qMin(iPos, iSize) : -1;
}

// A read-only view of a file's first iLength bytes followed by abTail.
class TrimmedPng : public QIODevice
{
public:
    TrimmedPng(QFile &file, qint64 iLength, const QByteArray &abTail) : file(file), iLength(iLength), abTail(abTail)
    {
        open(QIODevice::ReadOnly);
    }

    bool isSequential() const override { return false; }
    qint64 size() const override { return iLength + abTail.size(); }

protected:
    qint64 readData(char *data, qint64 iMax) override
    {
        const qint64 iAt = pos();
        qint64 iDone = 0;
        if (iAt < iLength) {
            if (!file.seek(iAt))
                return -1;
            iDone = file.read(data, qMin(iMax, iLength - iAt));
            if (iDone < 0)
                return -1;
        }
        const qint64 iTailAt = iAt + iDone - iLength;
        if (iTailAt >= 0 && iDone < iMax) {
            const qint64 iTail = qMin(iMax - iDone, abTail.size() - iTailAt);
            if (iTail > 0) {
                std::memcpy(data + iDone, abTail.constData() + iTailAt, size_t(iTail));
                iDone += iTail;
            }
        }
        return iDone;
    }

    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QFile &file;
    qint64 iLength;
    QByteArray abTail;
};

// A reader that takes whatever it is given for PNG.
std::unique_ptr<QImageReader> pngReader(QIODevice *device)
{
    auto reader = std::make_unique<QImageReader>(device, "png");
    reader->setAutoDetectImageFormat(false);
    return reader;
}

} // namespace

Picture loadPicture(const QString &sFile)
{
    Picture picture;
    QFile file(sFile);
    // Only regular files: opening a FIFO would block, a device could be endless.
    if (!QFileInfo(sFile).isFile() || !file.open(QIODevice::ReadOnly)
        || file.read(PNG_FILE_HEADER_LEN) != QByteArrayView(PNG_SIGNATURE, PNG_FILE_HEADER_LEN))
        return picture;
    picture.bHeader = readsPictureHeader(file);
    const qint64 iImageDataEnd = picture.bHeader ? findImageDataEnd(file) : -1;
    if (iImageDataEnd > 0) {
        TrimmedPng png(file, iImageDataEnd, END_CHUNK);
        picture.image = pngReader(&png)->read();
    }
    return picture;
}

} // namespace lumbrik
