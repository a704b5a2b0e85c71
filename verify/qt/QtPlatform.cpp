// The verification core's platform services on Linux: the file from POSIX,
// MD5 from Qt.

#include "Platform.h"

#include <QCryptographicHash>
#include <QFile>
#include <QString>

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

} // namespace lumbrik::platform
