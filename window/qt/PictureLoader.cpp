#include "PictureLoader.h"

#include "PngPicture.h"

#include <QImageReader>
#include <QIODevice>

#include <algorithm>
#include <cstring>

namespace lumbrik {
namespace {

// A read-only device over abHead followed by abTail, copying neither.
class JoinedBytes : public QIODevice
{
public:
    JoinedBytes(std::string_view abHead, std::string_view abTail) : abHead(abHead), abTail(abTail)
    {
        open(QIODevice::ReadOnly);
    }

    bool isSequential() const override { return false; }
    qint64 size() const override { return qint64(abHead.size() + abTail.size()); }

protected:
    qint64 readData(char *data, qint64 iMax) override
    {
        const qint64 iDone = copy(abHead, pos(), data, iMax);
        return iDone + copy(abTail, pos() + iDone - qint64(abHead.size()), data + iDone, iMax - iDone);
    }

    qint64 writeData(const char *, qint64) override { return -1; }

private:
    // Copies up to iMax bytes of ab from iAt on to data; the count copied.
    static qint64 copy(std::string_view ab, qint64 iAt, char *data, qint64 iMax)
    {
        if (iAt < 0 || iAt >= qint64(ab.size()))
            return 0;
        const qint64 iCount = std::min(iMax, qint64(ab.size()) - iAt);
        std::memcpy(data, ab.data() + iAt, std::size_t(iCount));
        return iCount;
    }

    std::string_view abHead, abTail;
};

} // namespace

Picture decodePicture(std::string_view abFile)
{
    Picture picture;
    const PictureExtent extent = examinePicture(abFile);
    picture.bHeader = extent.bHeader;
    if (extent.iImageDataEnd <= 0)
        return picture;
    JoinedBytes png(abFile.substr(0, std::size_t(extent.iImageDataEnd)), std::string_view(PNG_END_CHUNK, PNG_END_CHUNK_LEN));
    // Whatever it is given is read as PNG.
    QImageReader reader(&png, "png");
    reader.setAutoDetectImageFormat(false);
    picture.image = reader.read();
    return picture;
}

} // namespace lumbrik
