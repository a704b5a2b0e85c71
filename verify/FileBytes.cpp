#include "FileBytes.h"

#include <new>

namespace lumbrik {
namespace {

FileBytes failed(ReadError error)
{
    FileBytes file;
    file.error = error;
    return file;
}

} // namespace

FileBytes readWholeFile(const std::u16string &sFile, std::int64_t iMaxSize)
{
    ReadError error = ReadError::None;
    const std::unique_ptr<ByteSource> fs = platform::openFile(sFile, error);
    if (!fs)
        return failed(error);
    const std::int64_t iSize = fs->size();
    if (iSize < 0 || iSize > iMaxSize || std::uint64_t(iSize) > SIZE_MAX)
        return failed(ReadError::TooLarge);
    FileBytes file;
    // Left uninitialised: every byte is read into it or the whole is dropped.
    file.ab.reset(new (std::nothrow) char[std::size_t(iSize)]);
    if (!file.ab)
        return failed(ReadError::TooLarge);
    for (std::int64_t iDone = 0; iDone < iSize;) {
        const std::int64_t iRead = fs->read(file.ab.get() + iDone, iSize - iDone);
        // A file that ends sooner than it did when it was opened was changed meanwhile.
        if (iRead <= 0)
            return failed(ReadError::Failed);
        iDone += iRead;
    }
    file.iSize = std::size_t(iSize);
    return file;
}

} // namespace lumbrik
