// The checker's system services on Windows: names are UTF-16, opened in the
// \\?\ form so that no path is too long; a console is written in UTF-16,
// anything else in UTF-8; the language is the user's interface language.

#include "CheckerPlatform.h"
#include "SystemDlls.h"

#include "Text.h"
#include "Utf8.h"

#include <windows.h>

#include <string>
#include <vector>

namespace lumbrik::checker {
namespace {

// A UTF-16 name in UTF-8, an unpaired surrogate in the same three-byte form
// as any other code point below U+10000, so that every name survives.
std::string bytesOf(const wchar_t *p, std::size_t n)
{
    return utf8(std::u16string_view(reinterpret_cast<const char16_t *>(p), n), LoneSurrogate::Keep);
}

std::string bytesOf(const std::wstring &s)
{
    return bytesOf(s.data(), s.size());
}

// The UTF-16 name held in ab, the inverse of bytesOf; a byte that starts no
// sequence becomes U+FFFD.
std::wstring wide(const std::string &ab)
{
    std::wstring sOut;
    sOut.reserve(ab.size());
    for (std::size_t i = 0; i < ab.size();) {
        const unsigned char b = static_cast<unsigned char>(ab[i]);
        const int iMore = b < 0x80 ? 0 : b >= 0xF0 && b < 0xF5 ? 3 : b >= 0xE0 ? (b < 0xF0 ? 2 : -1) : b >= 0xC2 ? 1 : -1;
        char32_t c = iMore == 0 ? b : iMore == 1 ? b & 0x1F : iMore == 2 ? b & 0x0F : b & 0x07;
        bool bWhole = iMore >= 0 && i + std::size_t(iMore) < ab.size();
        for (int k = 1; bWhole && k <= iMore; ++k) {
            const unsigned char m = static_cast<unsigned char>(ab[i + std::size_t(k)]);
            bWhole = (m & 0xC0) == 0x80;
            c = (c << 6) | (m & 0x3F);
        }
        if (!bWhole) {
            sOut += wchar_t(0xFFFD);
            ++i;
            continue;
        }
        i += std::size_t(iMore) + 1;
        if (c >= 0x10000) {
            sOut += wchar_t(0xD800 + ((c - 0x10000) >> 10));
            sOut += wchar_t(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            sOut += wchar_t(c);
        }
    }
    return sOut;
}

// abPath in the form that opens it however long it is: \\?\C:\... or
// \\?\UNC\server\share\..., relative paths made absolute first.
std::wstring extendedPath(const std::string &abPath)
{
    const std::wstring sPath = wide(abPath);
    if (sPath.rfind(L"\\\\?\\", 0) == 0 || sPath.rfind(L"\\\\.\\", 0) == 0)
        return sPath;
    const DWORD iNeed = GetFullPathNameW(sPath.c_str(), 0, nullptr, nullptr);
    if (iNeed == 0)
        return sPath;
    std::wstring sFull(iNeed, L'\0');
    const DWORD iLen = GetFullPathNameW(sPath.c_str(), iNeed, sFull.data(), nullptr);
    if (iLen == 0 || iLen >= iNeed)
        return sPath;
    sFull.resize(iLen);
    if (sFull.rfind(L"\\\\.\\", 0) == 0) // a device, such as CON
        return sFull;
    if (sFull.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + sFull.substr(2);
    return L"\\\\?\\" + sFull;
}

// The system's words for iError in the user's language, in UTF-8.
std::string systemMessage(DWORD iError)
{
    wchar_t *p = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, iError, 0, reinterpret_cast<wchar_t *>(&p), 0, nullptr);
    std::wstring s = n > 0 ? std::wstring(p, n) : L"error " + std::to_wstring(iError);
    LocalFree(p);
    while (!s.empty() && (s.back() == L'\r' || s.back() == L'\n' || s.back() == L' ' || s.back() == L'.' || s.back() == L'。'))
        s.pop_back();
    return bytesOf(s);
}

Failure failureOf(DWORD iError)
{
    switch (iError) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME: return {Trouble::Missing, {}};
    case ERROR_ACCESS_DENIED: return {Trouble::NoPermission, {}};
    case ERROR_FILENAME_EXCED_RANGE: return {Trouble::TooLong, {}};
    case ERROR_CANT_RESOLVE_FILENAME: return {Trouble::LinkLoop, {}};
    case ERROR_DIRECTORY: return {Trouble::NotAFolder, {}};
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return {Trouble::InUse, {}};
    default: return {Trouble::Other, systemMessage(iError)};
    }
}

// Closes a handle at the end of its scope.
class Handle
{
public:
    explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h(h) {}
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    ~Handle()
    {
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
    HANDLE get() const { return h; }
    HANDLE release()
    {
        const HANDLE hOld = h;
        h = INVALID_HANDLE_VALUE;
        return hOld;
    }

private:
    HANDLE h;
};

// A file read through its handle, which it closes.
class HandleSource : public ByteSource
{
public:
    HandleSource(HANDLE h, std::int64_t iSize) : h(h), iSize(iSize) {}

    std::int64_t size() const override { return iSize; }

    std::int64_t read(char *p, std::int64_t iMax) override
    {
        DWORD iRead = 0;
        const DWORD iAsk = DWORD(iMax < 0x40000000 ? iMax : 0x40000000);
        if (!ReadFile(h.get(), p, iAsk, &iRead, nullptr))
            return -1;
        return iRead;
    }

    bool seek(std::int64_t iPos) override
    {
        LARGE_INTEGER to;
        to.QuadPart = iPos;
        return SetFilePointerEx(h.get(), to, nullptr, FILE_BEGIN) != 0;
    }

private:
    Handle h;
    std::int64_t iSize;
};

// One of the standard streams: a console, written in UTF-16 at once, or a
// file or pipe, written in UTF-8, through a buffer with bBuffered.
class OutputStream
{
public:
    OutputStream(DWORD iStdHandle, bool bBuffered) : h(GetStdHandle(iStdHandle)), bBuffered(bBuffered)
    {
        DWORD iMode = 0;
        bConsole = h != nullptr && h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &iMode);
    }

    void write(std::string_view sText)
    {
        if (!bConsole) {
            abPending += sText;
            if (!bBuffered || abPending.size() >= 65536)
                flush();
            return;
        }
        const std::wstring s = wide(std::string(sText));
        for (std::size_t i = 0; i < s.size();) {
            DWORD iWritten = 0;
            const DWORD iAsk = DWORD(s.size() - i < 8192 ? s.size() - i : 8192);
            if (!WriteConsoleW(h, s.data() + i, iAsk, &iWritten, nullptr) || iWritten == 0)
                return;
            i += iWritten;
        }
    }

    void flush()
    {
        for (std::size_t i = 0; i < abPending.size();) {
            DWORD iWritten = 0;
            const DWORD iAsk = DWORD(abPending.size() - i < 0x100000 ? abPending.size() - i : 0x100000);
            if (!WriteFile(h, abPending.data() + i, iAsk, &iWritten, nullptr) || iWritten == 0)
                break; // the reader has gone: what is left has nowhere to go
            i += iWritten;
        }
        abPending.clear();
    }

    bool isConsole() const { return bConsole; }

    // Blanks the cursor's row and puts the cursor at its start.
    void eraseLine()
    {
        CONSOLE_SCREEN_BUFFER_INFO info;
        if (!bConsole || !GetConsoleScreenBufferInfo(h, &info)) {
            write("\r                                                                              \r");
            return;
        }
        const COORD start = {0, info.dwCursorPosition.Y};
        DWORD iWritten = 0;
        FillConsoleOutputCharacterW(h, L' ', DWORD(info.dwSize.X), start, &iWritten);
        SetConsoleCursorPosition(h, start);
    }

private:
    HANDLE h;
    bool bBuffered;
    bool bConsole = false;
    std::string abPending;
};

OutputStream &streamOf(Stream stream)
{
    static OutputStream out(STD_OUTPUT_HANDLE, true);
    static OutputStream err(STD_ERROR_HANDLE, false);
    return stream == Stream::Out ? out : err;
}

// Reads everything from h: a console in UTF-16 up to Ctrl+Z, anything else as bytes.
Failure readHandle(HANDLE h, std::string &abText)
{
    DWORD iMode = 0;
    if (GetConsoleMode(h, &iMode)) {
        wchar_t s[4096];
        DWORD n = 0;
        std::wstring sAll;
        while (ReadConsoleW(h, s, 4096, &n, nullptr) && n > 0) {
            sAll.append(s, n);
            const std::size_t iEnd = sAll.find(L'\x1A');
            if (iEnd != std::wstring::npos) {
                sAll.resize(iEnd);
                break;
            }
        }
        abText = bytesOf(sAll);
        return {};
    }
    char ab[65536];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(h, ab, sizeof ab, &n, nullptr)) {
            const DWORD iError = GetLastError();
            if (iError == ERROR_BROKEN_PIPE) // the writer is done
                return {};
            return failureOf(iError);
        }
        if (n == 0)
            return {};
        abText.append(ab, n);
    }
}

// A list's text as UTF-8: UTF-16 with its byte-order mark (PowerShell writes
// that), UTF-8 with or without one, and otherwise the system's code page.
std::string decodeList(const std::string &ab)
{
    if (ab.size() >= 2 && ab[0] == '\xFF' && ab[1] == '\xFE') {
        std::wstring s((ab.size() - 2) / 2, L'\0');
        for (std::size_t i = 0; i < s.size(); ++i)
            s[i] = wchar_t(static_cast<unsigned char>(ab[2 + 2 * i]) | static_cast<unsigned char>(ab[3 + 2 * i]) << 8);
        return bytesOf(s);
    }
    const std::string abText = ab.rfind("\xEF\xBB\xBF", 0) == 0 ? ab.substr(3) : ab;
    if (firstInvalidUtf8(abText) < 0 || abText.size() > 0x7FFFFFFF)
        return abText;
    const int n = MultiByteToWideChar(CP_ACP, 0, abText.data(), int(abText.size()), nullptr, 0);
    std::wstring s(std::size_t(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, abText.data(), int(abText.size()), s.data(), n);
    return bytesOf(s);
}

} // namespace

namespace platform {

bool backslashSeparates()
{
    return true;
}

char separator()
{
    return '\\';
}

Listing listFolder(const std::string &abPath)
{
    Listing listing;
    const std::wstring sPath = extendedPath(abPath);
    const DWORD iAttributes = GetFileAttributesW(sPath.c_str());
    if (iAttributes == INVALID_FILE_ATTRIBUTES || !(iAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return listing; // a file, or nothing: the check says which
    const std::wstring sPattern = sPath + (sPath.back() == L'\\' ? L"*" : L"\\*");
    // FindExInfoBasic would skip the short names, but Vista does not have it.
    WIN32_FIND_DATAW found;
    const HANDLE hFind = FindFirstFileExW(sPattern.c_str(), FindExInfoStandard, &found, FindExSearchNameMatch, nullptr, 0);
    if (hFind == INVALID_HANDLE_VALUE) {
        const DWORD iError = GetLastError();
        listing.state = iError == ERROR_FILE_NOT_FOUND ? Listing::State::Listed : Listing::State::Unlistable;
        if (iError != ERROR_FILE_NOT_FOUND)
            listing.failure = failureOf(iError);
        return listing;
    }
    listing.state = Listing::State::Listed;
    do {
        const std::wstring sName = found.cFileName;
        if (sName == L"." || sName == L"..")
            continue;
        const DWORD a = found.dwFileAttributes;
        // A junction or link to a folder is not followed, as on POSIX.
        const bool bFolder = (a & FILE_ATTRIBUTE_DIRECTORY) && !(a & FILE_ATTRIBUTE_REPARSE_POINT);
        const bool bHidden = (a & FILE_ATTRIBUTE_HIDDEN) || sName[0] == L'.';
        listing.entries.push_back({bytesOf(sName), bFolder, bHidden});
    } while (FindNextFileW(hFind, &found));
    const DWORD iError = GetLastError();
    if (iError != ERROR_NO_MORE_FILES)
        listing.failure = failureOf(iError);
    FindClose(hFind);
    return listing;
}

OpenedFile openRegularFile(const std::string &abPath)
{
    OpenedFile opened;
    const std::wstring sPath = extendedPath(abPath);
    // Shared with readers only: a file that another program is writing is not checked half-written.
    Handle h(CreateFileW(sPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (h.get() == INVALID_HANDLE_VALUE) {
        const DWORD iError = GetLastError();
        const DWORD iAttributes = GetFileAttributesW(sPath.c_str());
        const bool bFolder = iAttributes != INVALID_FILE_ATTRIBUTES && (iAttributes & FILE_ATTRIBUTE_DIRECTORY);
        opened.failure = bFolder ? Failure{Trouble::NotRegular, {}} : failureOf(iError);
        return opened;
    }
    LARGE_INTEGER size;
    if (GetFileType(h.get()) != FILE_TYPE_DISK || !GetFileSizeEx(h.get(), &size)) {
        opened.failure = {Trouble::NotRegular, {}};
        return opened;
    }
    opened.iSize = size.QuadPart;
    opened.file = std::make_unique<HandleSource>(h.release(), size.QuadPart);
    return opened;
}

Failure readWhole(const std::string &abPath, std::string &abText)
{
    std::string ab;
    Failure failure;
    if (abPath == "-") {
        failure = readHandle(GetStdHandle(STD_INPUT_HANDLE), ab);
    } else {
        Handle h(CreateFileW(extendedPath(abPath).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr));
        failure = h.get() == INVALID_HANDLE_VALUE ? failureOf(GetLastError()) : readHandle(h.get(), ab);
    }
    // No Windows name holds a carriage return: one before a line break or NUL ends the name.
    for (const char c : decodeList(ab)) {
        if ((c == '\n' || c == '\0') && !abText.empty() && abText.back() == '\r')
            abText.pop_back();
        abText += c;
    }
    return failure;
}

void write(Stream stream, std::string_view sText)
{
    streamOf(stream).write(sText);
}

void flush(Stream stream)
{
    streamOf(stream).flush();
}

bool isTerminal(Stream stream)
{
    return streamOf(stream).isConsole();
}

void eraseLine(Stream stream)
{
    streamOf(stream).eraseLine();
}

Language userLanguage()
{
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE ? Language::Chinese : Language::English;
}

} // namespace platform
} // namespace lumbrik::checker

int wmain(int argc, wchar_t *argv[])
{
    lumbrik::loadDllsFromSystem32Only();
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(lumbrik::checker::bytesOf(argv[i], wcslen(argv[i])));
    const int iExit = lumbrik::checker::run(args);
    lumbrik::checker::platform::flush(lumbrik::checker::Stream::Out);
    return iExit;
}
