#pragma once
// What the verification core needs of its platform, and nothing more: a file
// read front to back and an MD5 digest. Each platform implements these once
// (verify/qt, verify/win32); the build picks one.

#include <cstdint>
#include <memory>
#include <string>

namespace lumbrik {

// Bytes read front to back, with a size taken when they were opened.
class ByteSource
{
public:
    virtual ~ByteSource() = default;
    // The size at the time the source was opened.
    virtual std::int64_t size() const = 0;
    // Reads up to iMax bytes at the current position into p: the count read,
    // 0 at the end, or -1 on an error.
    virtual std::int64_t read(char *p, std::int64_t iMax) = 0;
    // Moves the current position to iPos; false when it cannot.
    virtual bool seek(std::int64_t iPos) = 0;
};

// Why a file could not be read. A file that was read is judged on its bytes;
// one that could not be read has not been judged at all.
enum class ReadError {
    None,
    Missing,   // nothing is there
    NotAFile,  // a folder, a FIFO, a device: not a regular file
    Denied,    // no permission to read it
    InUse,     // another program holds it, for writing or locked
    TooLarge,  // more than the reader may hold in memory
    Failed,    // any other fault of the system while opening or reading
};

class Md5
{
public:
    virtual ~Md5() = default;
    virtual void add(const char *p, std::size_t iCount) = 0;
    // The digest of everything added, in 16 bytes; the object is spent afterwards.
    virtual std::string finish() = 0;
};

namespace platform {

// Opens the regular file at sFile for reading. Other programs may go on reading
// it; where the platform can say so, none may write it while it is open, and
// one that holds it open for writing keeps it from being opened. Null when it
// cannot be opened; error says why.
std::unique_ptr<ByteSource> openFile(const std::u16string &sFile, ReadError &error);

std::unique_ptr<Md5> createMd5();

} // namespace platform
} // namespace lumbrik
