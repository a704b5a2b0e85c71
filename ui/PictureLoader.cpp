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
// An empty IDAT chunk: the decoder reports a header only once it meets image data.
const QByteArray EMPTY_DATA_CHUNK = QByteArray::fromHex("000000004944415435af061e");

struct ImageDataSpan {
    qint64 iStart = 0; // the first IDAT chunk, or where the walk ended
    qint64 iEnd = 0;
    bool bFound = false;
};

// Moves file forward to iPos: through its buffer when that is near, so that a
// run of small chunks costs no system call each.
bool moveTo(QFile &file, qint64 iPos)
{
    const qint64 iAhead = iPos - file.pos();
    if (iAhead >= 0 && iAhead <= SKIP_THROUGH_BUFFER_LEN)
        return file.skip(iAhead) == iAhead;
    return file.seek(iPos);
}

// Where the picture's image data lies in file: from the first IDAT chunk to the
// start of the first chunk after that run of IDAT chunks, of the first IEND
// chunk, or of whatever cannot be read as a chunk. Reads only chunk headers.
ImageDataSpan findImageData(QFile &file)
{
    const qint64 iSize = file.size();
    qint64 iPos = PNG_FILE_HEADER_LEN;
    qint64 iStart = -1;
    bool bInImageData = false;
    while (iPos + PNG_CHUNK_HEAER_LEN <= iSize && moveTo(file, iPos)) {
        char abHeader[PNG_CHUNK_HEAER_LEN];
        if (file.read(abHeader, PNG_CHUNK_HEAER_LEN) != PNG_CHUNK_HEAER_LEN)
            break;
        const bool bIsData = std::memcmp(abHeader + 4, "IDAT", 4) == 0;
        if ((bInImageData && !bIsData) || std::memcmp(abHeader + 4, "IEND", 4) == 0)
            break;
        bInImageData = bIsData;
        if (bIsData && iStart < 0)
            iStart = iPos;
        iPos += PNG_CHUNK_HEAER_LEN + qint64(bigEndian32(abHeader)) + PNG_CHUNK_CRC_LEN;
    }
    const qint64 iEnd = qMin(iPos, iSize);
    return {iStart < 0 ? iEnd : iStart, iEnd, iStart >= 0};
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
    const ImageDataSpan span = findImageData(file);
    // The header on its own, so that a fault in the image data cannot hide it.
    TrimmedPng header(file, span.iStart, EMPTY_DATA_CHUNK + END_CHUNK);
    picture.bHeader = pngReader(&header)->size().isValid();
    if (picture.bHeader && span.bFound) {
        TrimmedPng png(file, span.iEnd, END_CHUNK);
        picture.image = pngReader(&png)->read();
    }
    return picture;
}

} // namespace lumbrik
