// The verification core's platform services, from Windows itself: the file
// through CreateFileW, MD5 from BCrypt.

#include "Platform.h"

#include <windows.h>
#include <bcrypt.h>

#include <stdexcept>

namespace lumbrik::platform {
namespace {

class Win32File : public ByteSource
{
public:
    Win32File(HANDLE h, std::int64_t iSize) : h(h), iSize(iSize) {}
    Win32File(const Win32File &) = delete;
    Win32File &operator=(const Win32File &) = delete;
    ~Win32File() override { CloseHandle(h); }

    std::int64_t size() const override { return iSize; }

    std::int64_t read(char *p, std::int64_t iMax) override
    {
        DWORD iRead = 0;
        const DWORD iAsk = DWORD(iMax < 0x40000000 ? iMax : 0x40000000);
        if (!ReadFile(h, p, iAsk, &iRead, nullptr))
            return -1;
        return iRead;
    }

    bool seek(std::int64_t iPos) override
    {
        LARGE_INTEGER to;
        to.QuadPart = iPos;
        return SetFilePointerEx(h, to, nullptr, FILE_BEGIN) != 0;
    }

private:
    HANDLE h;
    std::int64_t iSize;
};

// Why CreateFileW could not open pPath, from its error iError.
ReadError readErrorOf(DWORD iError, const WCHAR *pPath)
{
    switch (iError) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return ReadError::Missing;
    case ERROR_ACCESS_DENIED: {
        // A folder cannot be opened as a file and says so in these words.
        const DWORD iAttributes = GetFileAttributesW(pPath);
        const bool bFolder = iAttributes != INVALID_FILE_ATTRIBUTES && (iAttributes & FILE_ATTRIBUTE_DIRECTORY);
        return bFolder ? ReadError::NotAFile : ReadError::Denied;
    }
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return ReadError::InUse;
    default:
        return ReadError::Failed;
    }
}

class BCryptMd5 : public Md5
{
public:
    BCryptMd5()
    {
        if (BCryptOpenAlgorithmProvider(&hAlgorithm, BCRYPT_MD5_ALGORITHM, nullptr, 0) != 0
            || BCryptCreateHash(hAlgorithm, &hHash, nullptr, 0, nullptr, 0, 0) != 0)
            throw std::runtime_error("MD5 is not available");
    }
    BCryptMd5(const BCryptMd5 &) = delete;
    BCryptMd5 &operator=(const BCryptMd5 &) = delete;
    ~BCryptMd5() override
    {
        if (hHash)
            BCryptDestroyHash(hHash);
        if (hAlgorithm)
            BCryptCloseAlgorithmProvider(hAlgorithm, 0);
    }

    void add(const char *p, std::size_t iCount) override
    {
        while (iCount > 0) {
            const ULONG iPart = ULONG(iCount < 0x40000000 ? iCount : 0x40000000);
            if (BCryptHashData(hHash, reinterpret_cast<PUCHAR>(const_cast<char *>(p)), iPart, 0) != 0)
                throw std::runtime_error("MD5 failed");
            p += iPart;
            iCount -= iPart;
        }
    }

    std::string finish() override
    {
        std::string abDigest(16, '\0');
        if (BCryptFinishHash(hHash, reinterpret_cast<PUCHAR>(abDigest.data()), 16, 0) != 0)
            throw std::runtime_error("MD5 failed");
        return abDigest;
    }

private:
    BCRYPT_ALG_HANDLE hAlgorithm = nullptr;
    BCRYPT_HASH_HANDLE hHash = nullptr;
};

} // namespace

std::unique_ptr<ByteSource> openFile(const std::u16string &sFile, ReadError &error)
{
    const auto *pPath = reinterpret_cast<const WCHAR *>(sFile.c_str());
    // Other readers (a viewer, a preview pane, a scanner) may keep the file
    // open; writers may not, so nothing changes it while it is read.
    const HANDLE h = CreateFileW(pPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = readErrorOf(GetLastError(), pPath);
        return nullptr;
    }
    LARGE_INTEGER size;
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &size)) {
        CloseHandle(h);
        error = ReadError::NotAFile;
        return nullptr;
    }
    error = ReadError::None;
    return std::make_unique<Win32File>(h, size.QuadPart);
}

std::unique_ptr<Md5> createMd5()
{
    return std::make_unique<BCryptMd5>();
}

} // namespace lumbrik::platform
