// The verification core's platform services on Linux: the file from POSIX,
// MD5 from Qt.

#include "Platform.h"

#include <QCryptographicHash>
#include <QFile>
#include <QString>
#include <QXmlStreamReader>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumbrik::platform {
namespace {

// A file read through its descriptor: the name is looked up once, so what is
// read is the file that was opened, even if the name is given to another.
class PosixFile : public ByteSource
{
public:
    PosixFile(int fd, std::int64_t iSize) : fd(fd), iSize(iSize) {}
    PosixFile(const PosixFile &) = delete;
    PosixFile &operator=(const PosixFile &) = delete;
    ~PosixFile() override { ::close(fd); }

    std::int64_t size() const override { return iSize; }

    std::int64_t read(char *p, std::int64_t iMax) override
    {
        for (;;) {
            const ssize_t iRead = ::read(fd, p, std::size_t(std::min<std::int64_t>(iMax, MAX_READ)));
            if (iRead >= 0 || errno != EINTR)
                return iRead;
        }
    }

    bool seek(std::int64_t iPos) override { return ::lseek(fd, off_t(iPos), SEEK_SET) == off_t(iPos); }

private:
    static constexpr std::int64_t MAX_READ = std::int64_t(1) << 30;
    int fd;
    std::int64_t iSize;
};

ReadError readErrorOf(int iErrno)
{
    switch (iErrno) {
    case ENOENT:
    case ENOTDIR:
        return ReadError::Missing;
    case EACCES:
    case EPERM:
        return ReadError::Denied;
    case EAGAIN: // a mandatory lock held by another program
    case ETXTBSY:
        return ReadError::InUse;
    default:
        return ReadError::Failed;
    }
}

class QtMd5 : public Md5
{
public:
    void add(const char *p, std::size_t iCount) override { hash.addData(QByteArrayView(p, qsizetype(iCount))); }
    std::string finish() override { return hash.result().toStdString(); }

private:
    QCryptographicHash hash{QCryptographicHash::Md5};
};

void assign(std::u16string &s, QStringView from)
{
    s.assign(reinterpret_cast<const char16_t *>(from.utf16()), std::size_t(from.size()));
}

// Qt's stream reader never reads anything external and bounds entity expansion.
class QtXmlReader : public XmlTokenReader
{
public:
    explicit QtXmlReader(std::u16string_view sXml)
        : xml(QString(reinterpret_cast<const QChar *>(sXml.data()), qsizetype(sXml.size())))
    {
    }

    void next(XmlToken &t) override
    {
        t.attributes.clear();
        while (!xml.atEnd()) {
            switch (xml.readNext()) {
            case QXmlStreamReader::StartElement:
                t.kind = XmlToken::Kind::StartElement;
                names(t);
                for (const QXmlStreamAttribute &a : xml.attributes()) {
                    t.attributes.emplace_back();
                    assign(t.attributes.back().sQualifiedName, a.qualifiedName());
                    assign(t.attributes.back().sValue, a.value());
                }
                return;
            case QXmlStreamReader::EndElement:
                t.kind = XmlToken::Kind::EndElement;
                names(t);
                return;
            case QXmlStreamReader::Characters:
                t.kind = xml.isCDATA() ? XmlToken::Kind::CData : XmlToken::Kind::Text;
                assign(t.sText, xml.text());
                return;
            case QXmlStreamReader::Comment:
                t.kind = XmlToken::Kind::Comment;
                return;
            case QXmlStreamReader::ProcessingInstruction:
                t.kind = XmlToken::Kind::ProcessingInstruction;
                return;
            case QXmlStreamReader::EntityReference:
                t.kind = XmlToken::Kind::EntityReference;
                return;
            default:
                break;
            }
        }
        t.kind = xml.hasError() ? XmlToken::Kind::Error : XmlToken::Kind::EndOfDocument;
        if (xml.hasError())
            assign(t.sText, xml.errorString());
    }

private:
    void names(XmlToken &t) const
    {
        assign(t.sQualifiedName, xml.qualifiedName());
        assign(t.sLocalName, xml.name());
        assign(t.sNamespaceUri, xml.namespaceUri());
    }

    QXmlStreamReader xml;
};

} // namespace

std::unique_ptr<ByteSource> openFile(const std::u16string &sFile, ReadError &error)
{
    const QByteArray abPath = QFile::encodeName(QString::fromStdU16String(sFile));
    // Only regular files: opening a FIFO would block, opening a device could
    // act on it. Looked at before opening, and the opened file again after.
    struct stat info;
    if (::stat(abPath.constData(), &info) != 0) {
        error = readErrorOf(errno);
        return nullptr;
    }
    error = ReadError::NotAFile;
    if (!S_ISREG(info.st_mode))
        return nullptr;
    const int fd = ::open(abPath.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        error = readErrorOf(errno);
        return nullptr;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    error = ReadError::None;
    return std::make_unique<PosixFile>(fd, std::int64_t(info.st_size));
}

std::unique_ptr<Md5> createMd5()
{
    return std::make_unique<QtMd5>();
}

std::unique_ptr<XmlTokenReader> readXml(std::u16string_view sXml)
{
    return std::make_unique<QtXmlReader>(sXml);
}

} // namespace lumbrik::platform
