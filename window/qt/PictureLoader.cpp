#include "PictureLoader.h"

#include "PngPicture.h"

#include <QFile>
#include <QImageReader>
#include <QIODevice>

#include <cstring>
#include <memory>

namespace lumbrik {
namespace {

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
    // Only regular files: opening a FIFO would block, a device could be endless.
    const std::unique_ptr<ByteSource> source = platform::openFile(sFile.toStdU16String());
    if (!source)
        return picture;
    const PictureExtent extent = examinePicture(*source);
    picture.bHeader = extent.bHeader;
    QFile file(sFile);
    if (extent.iImageDataEnd > 0 && file.open(QIODevice::ReadOnly)) {
        TrimmedPng png(file, extent.iImageDataEnd, QByteArray(PNG_END_CHUNK, PNG_END_CHUNK_LEN));
        picture.image = pngReader(&png)->read();
    }
    return picture;
}

} // namespace lumbrik
