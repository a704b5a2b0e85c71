// The checker's system services on POSIX: names are bytes, opened relative to
// a folder descriptor when they are longer than PATH_MAX; the language comes
// from the locale's environment.

#include "CheckerPlatform.h"

#include "Utf8.h"

#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace lumbrik::checker {
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
int openLong(const std::string &abPath, int iFlags)
{
    if (abPath.find('\0') != std::string::npos) {
        errno = ENOENT; // no name holds a NUL byte
        return -1;
    }
    Fd dir;
    std::string abRest = abPath;
    while (abRest.size() >= PATH_MAX) {
        const std::size_t iSlash = abRest.rfind('/', PATH_MAX - 1);
        if (iSlash == std::string::npos) {
            errno = ENAMETOOLONG;
            return -1;
        }
        const std::string abStretch = iSlash == 0 ? std::string("/") : abRest.substr(0, iSlash);
        const int fdNext = ::openat(base(dir), abStretch.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fdNext < 0)
            return -1;
        dir.reset(fdNext);
        abRest = abRest.substr(iSlash + 1);
    }
    return ::openat(base(dir), abRest.c_str(), iFlags | O_CLOEXEC);
}

// The system's words for iErrno, in UTF-8: the locale's where they are UTF-8.
std::string systemMessage(int iErrno)
{
    const std::string s = std::strerror(iErrno);
    if (firstInvalidUtf8(s) < 0)
        return s;
    const locale_t c = ::newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    const std::string sC = ::strerror_l(iErrno, c);
    ::freelocale(c);
    return sC;
}

Failure failureOf(int iErrno)
{
    switch (iErrno) {
    case ENOENT: return {Trouble::Missing, {}};
    case EACCES:
    case EPERM: return {Trouble::NoPermission, {}};
    case ENAMETOOLONG: return {Trouble::TooLong, {}};
    case ELOOP: return {Trouble::LinkLoop, {}};
    case ENOTDIR: return {Trouble::NotAFolder, {}};
    default: return {Trouble::Other, systemMessage(iErrno)};
    }
}

// Whether the entry e of the folder fdDir is a folder in its own right (not a link to one).
bool isRealFolder(int fdDir, const dirent *e)
{
    if (e->d_type != DT_UNKNOWN)
        return e->d_type == DT_DIR;
    struct stat st;
    return ::fstatat(fdDir, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
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

FILE *fileOf(Stream stream)
{
    return stream == Stream::Out ? stdout : stderr;
}

// The language of a locale name such as "zh_CN.UTF-8", or none.
bool languageOf(const std::string &sLocale, Language &language)
{
    if (sLocale.rfind("zh", 0) == 0) {
        language = Language::Chinese;
        return true;
    }
    if (sLocale.rfind("en", 0) == 0 || sLocale == "C" || sLocale.rfind("C.", 0) == 0 || sLocale == "POSIX") {
        language = Language::English;
        return true;
    }
    return false;
}

const char *environment(const char *sName)
{
    const char *s = std::getenv(sName);
    return s && *s ? s : nullptr;
}

} // namespace

namespace platform {

bool backslashSeparates()
{
    return false;
}

char separator()
{
    return '/';
}

Listing listFolder(const std::string &abPath)
{
    Listing listing;
    const int fdDir = openLong(abPath, O_RDONLY | O_DIRECTORY);
    if (fdDir < 0) {
        // A folder that cannot be opened is reported as one; anything else
        // is a file, which the check then opens or reports on.
        const int iErrno = errno;
        struct stat st;
        if (iErrno != ENOTDIR && abPath.size() < PATH_MAX && ::stat(abPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            listing.state = Listing::State::Unlistable;
            listing.failure = failureOf(iErrno);
        }
        return listing;
    }
    DIR *d = ::fdopendir(fdDir);
    if (!d) {
        listing.state = Listing::State::Unlistable;
        listing.failure = failureOf(errno);
        ::close(fdDir);
        return listing;
    }
    listing.state = Listing::State::Listed;
    errno = 0;
    while (const dirent *e = ::readdir(d)) {
        const bool bDots = e->d_name[0] == '.' && (e->d_name[1] == '\0' || (e->d_name[1] == '.' && e->d_name[2] == '\0'));
        if (!bDots)
            listing.entries.push_back({e->d_name, isRealFolder(::dirfd(d), e), e->d_name[0] == '.'});
        errno = 0;
    }
    if (errno != 0)
        listing.failure = failureOf(errno);
    ::closedir(d);
    return listing;
}

OpenedFile openRegularFile(const std::string &abPath)
{
    OpenedFile opened;
    // Not blocking: a FIFO must not hold the run up before it is known to be one.
    Fd fd(openLong(abPath, O_RDONLY | O_NONBLOCK | O_NOCTTY));
    struct stat st;
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) {
        opened.failure = failureOf(errno);
        return opened;
    }
    if (!S_ISREG(st.st_mode)) {
        opened.failure = {Trouble::NotRegular, {}};
        return opened;
    }
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    opened.iSize = st.st_size;
    opened.file = std::make_unique<FdSource>(fd.release(), st.st_size);
    return opened;
}

Failure readWhole(const std::string &abPath, std::string &abText)
{
    // A list may come through a pipe (find | ..., <(...)): read it to its end.
    Fd owned(abPath == "-" ? -1 : openLong(abPath, O_RDONLY | O_NOCTTY));
    const int fd = abPath == "-" ? STDIN_FILENO : owned.get();
    if (fd < 0)
        return failureOf(errno);
    char ab[65536];
    for (;;) {
        const ssize_t n = ::read(fd, ab, sizeof ab);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return failureOf(errno);
        if (n == 0)
            return {};
        abText.append(ab, std::size_t(n));
    }
}

void write(Stream stream, std::string_view sText)
{
    std::fwrite(sText.data(), 1, sText.size(), fileOf(stream));
}

void flush(Stream stream)
{
    std::fflush(fileOf(stream));
}

bool isTerminal(Stream stream)
{
    return ::isatty(stream == Stream::Out ? STDOUT_FILENO : STDERR_FILENO) == 1;
}

void eraseLine(Stream stream)
{
    write(stream, "\r\033[K");
}

Language userLanguage()
{
    // As gettext has it: LANGUAGE, a list by preference, before the locale
    // that LC_ALL, LC_MESSAGES or LANG names.
    Language language = Language::English;
    if (const char *sList = environment("LANGUAGE")) {
        const std::string s = sList;
        for (std::size_t i = 0; i <= s.size();) {
            const std::size_t iEnd = std::min(s.find(':', i), s.size());
            if (languageOf(s.substr(i, iEnd - i), language))
                return language;
            i = iEnd + 1;
        }
    }
    for (const char *sName : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (const char *sLocale = environment(sName)) {
            languageOf(sLocale, language);
            return language;
        }
    }
    return language;
}

} // namespace platform
} // namespace lumbrik::checker

int main(int argc, char *argv[])
{
    // The system's own error texts in the user's language; numbers stay as "C" writes them.
    std::setlocale(LC_CTYPE, "");
    std::setlocale(LC_MESSAGES, "");
    return lumbrik::checker::run(std::vector<std::string>(argv + 1, argv + argc));
}
