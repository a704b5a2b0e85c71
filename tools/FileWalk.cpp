#include "FileWalk.h"

#include <algorithm>
#include <utility>
#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumbrik {
namespace {

// Closes a descriptor at the end of its scope.
class Fd
{
public:
    explicit Fd(int fd = -1) : fd(fd) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd() { reset(); }
    int get() const { return fd; }
    int release() { return std::exchange(fd, -1); }
    void reset(int fdNew = -1)
    {
        if (fd >= 0)
            ::close(fd);
        fd = fdNew;
    }

private:
    int fd;
};

// The folder a path is taken relative to: dir, or the working folder.
int base(const Fd &dir)
{
    return dir.get() < 0 ? AT_FDCWD : dir.get();
}

// Opens abPath relative to the working folder with flags. A path of PATH_MAX
// bytes or more is opened a stretch of folders at a time, each shorter than that.
int openLong(const QByteArray &abPath, int iFlags)
{
    Fd dir;
    QByteArray abRest = abPath;
    while (abRest.size() >= PATH_MAX) {
        const qsizetype iSlash = abRest.lastIndexOf('/', PATH_MAX - 1);
        if (iSlash < 0) {
            errno = ENAMETOOLONG;
            return -1;
        }
        const QByteArray abStretch = iSlash == 0 ? QByteArray("/") : abRest.left(iSlash);
        const int fdNext = ::openat(base(dir), abStretch.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fdNext < 0)
            return -1;
        dir.reset(fdNext);
        abRest = abRest.mid(iSlash + 1);
    }
    return ::openat(base(dir), abRest.constData(), iFlags | O_CLOEXEC);
}

bool isHidden(const char *sName)
{
    return sName[0] == '.';
}

bool hasPngExtension(const QByteArray &abName)
{
    return abName.size() > 4 && abName.right(4).toLower() == ".png";
}

// Whether the entry e of the folder fdDir is a folder in its own right (not a link to one).
bool isRealFolder(int fdDir, const dirent *e)
{
    if (e->d_type != DT_UNKNOWN)
        return e->d_type == DT_DIR;
    struct stat st;
    return ::fstatat(fdDir, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

QByteArray childPath(const QByteArray &abFolder, const QByteArray &abName)
{
    return abFolder.endsWith('/') ? abFolder + abName : abFolder + '/' + abName;
}

// Adds to found every *.png below the folder abPath, open as fdDir (taken over),
// and a line for every folder below it that cannot be listed.
void walkFolder(int fdDir, const QByteArray &abPath, QList<WalkEntry> &found)
{
    DIR *d = ::fdopendir(fdDir);
    if (!d) {
        found << WalkEntry{abPath, true, errno};
        ::close(fdDir);
        return;
    }
    QList<QByteArray> subfolders;
    errno = 0;
    while (const dirent *e = ::readdir(d)) {
        if (isHidden(e->d_name))
            continue;
        const QByteArray abName(e->d_name);
        if (isRealFolder(::dirfd(d), e))
            subfolders << abName;
        else if (hasPngExtension(abName))
            found << WalkEntry{childPath(abPath, abName)};
        errno = 0;
    }
    if (errno != 0)
        found << WalkEntry{abPath, true, errno};
    for (const QByteArray &abName : subfolders) {
        const QByteArray abChild = childPath(abPath, abName);
        const int fdChild = ::openat(::dirfd(d), abName.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fdChild < 0)
            found << WalkEntry{abChild, true, errno};
        else
            walkFolder(fdChild, abChild, found);
    }
    ::closedir(d);
}

// A file read through its descriptor, which it closes.
class FdSource : public ByteSource
{
public:
    FdSource(int fd, std::int64_t iSize) : fd(fd), iSize(iSize) {}

    std::int64_t size() const override { return iSize; }

    std::int64_t read(char *p, std::int64_t iMax) override
    {
        ssize_t n;
        do
            n = ::read(fd.get(), p, std::size_t(iMax));
        while (n < 0 && errno == EINTR);
        return n;
    }

    bool seek(std::int64_t iPos) override { return ::lseek(fd.get(), off_t(iPos), SEEK_SET) == off_t(iPos); }

private:
    Fd fd;
    std::int64_t iSize;
};

} // namespace

Walk walkPaths(const QList<QByteArray> &paths)
{
    Walk walk;
    for (const QByteArray &abPath : paths) {
        const int fdDir = openLong(abPath, O_RDONLY | O_DIRECTORY);
        if (fdDir < 0) {
            // A folder that cannot be opened is reported as one; anything else
            // is a file, which the check then opens or reports on.
            const int iErrno = errno;
            struct stat st;
            const bool bFolder = iErrno != ENOTDIR && ::stat(abPath.constData(), &st) == 0 && S_ISDIR(st.st_mode);
            walk.entries << WalkEntry{abPath, bFolder, bFolder ? iErrno : 0};
            continue;
        }
        QList<WalkEntry> found;
        walkFolder(fdDir, abPath, found);
        if (found.isEmpty())
            walk.emptyFolders << abPath;
        std::sort(found.begin(), found.end(), [](const WalkEntry &a, const WalkEntry &b) { return a.abPath < b.abPath; });
        walk.entries += found;
    }
    return walk;
}

OpenedFile openRegularFile(const QByteArray &abPath)
{
    OpenedFile opened;
    // Not blocking: a FIFO must not hold the run up before it is known to be one.
    Fd fd(openLong(abPath, O_RDONLY | O_NONBLOCK | O_NOCTTY));
    struct stat st;
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) {
        opened.iErrno = errno;
        return opened;
    }
    if (!S_ISREG(st.st_mode)) {
        opened.bNotRegular = true;
        return opened;
    }
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    opened.iSize = st.st_size;
    opened.file = std::make_unique<FdSource>(fd.release(), st.st_size);
    return opened;
}

} // namespace lumbrik
