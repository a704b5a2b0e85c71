#include "CheckerRun.h"

#include <windows.h>

#include <stdexcept>
#include <thread>

namespace lumbrik::testing {
namespace {

std::wstring wide(const std::string &s)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0);
    std::wstring sOut(std::size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), sOut.data(), n);
    return sOut;
}

// An absolute path in the form that takes any length.
std::wstring extended(const std::string &sPath)
{
    std::wstring s = wide(sPath);
    for (wchar_t &c : s)
        c = c == L'/' ? L'\\' : c;
    return L"\\\\?\\" + s;
}

// One argument as CommandLineToArgvW splits it back: quoted, with the
// backslashes before a quote doubled.
std::wstring quoted(const std::wstring &s)
{
    std::wstring sOut = L"\"";
    std::size_t iSlashes = 0;
    for (const wchar_t c : s) {
        if (c == L'\\') {
            ++iSlashes;
            continue;
        }
        sOut.append(c == L'"' ? 2 * iSlashes + 1 : iSlashes, L'\\');
        iSlashes = 0;
        sOut += c;
    }
    sOut.append(2 * iSlashes, L'\\');
    return sOut + L'"';
}

// Reads h to its end on a thread of its own.
std::thread drain(HANDLE h, std::string &abInto)
{
    return std::thread([h, &abInto] {
        char ab[65536];
        DWORD n = 0;
        while (ReadFile(h, ab, sizeof ab, &n, nullptr) && n > 0)
            abInto.append(ab, n);
        CloseHandle(h);
    });
}

} // namespace

bool canRunIn(UserLanguage language)
{
    // Wine takes the language from the Unix locale it was started in, not from
    // the environment a Windows program hands its child.
    const bool bChinese = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE;
    return bChinese == (language == UserLanguage::Chinese);
}

Run runChecker(const std::vector<std::string> &args, const std::string &abInput, UserLanguage)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE inRead, inWrite, outRead, outWrite, errRead, errWrite;
    if (!CreatePipe(&inRead, &inWrite, &inherit, 0) || !CreatePipe(&outRead, &outWrite, &inherit, 0)
        || !CreatePipe(&errRead, &errWrite, &inherit, 0))
        throw std::runtime_error("CreatePipe");
    for (const HANDLE h : {inWrite, outRead, errRead})
        SetHandleInformation(h, HANDLE_FLAG_INHERIT, 0);

    const std::wstring sProgram = LUMBRIK_CHECK;
    std::wstring sCommand = quoted(sProgram);
    for (const std::string &s : args)
        sCommand += L' ' + quoted(wide(s));
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = inRead;
    si.hStdOutput = outWrite;
    si.hStdError = errWrite;
    PROCESS_INFORMATION pi;
    if (!CreateProcessW(sProgram.c_str(), sCommand.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        throw std::runtime_error("cannot start lumbrik-check.exe");
    CloseHandle(inRead);
    CloseHandle(outWrite);
    CloseHandle(errWrite);

    Run r;
    std::thread out = drain(outRead, r.abOut);
    std::thread err = drain(errRead, r.abErr);
    DWORD iWritten = 0;
    for (std::size_t i = 0; i < abInput.size(); i += iWritten) {
        if (!WriteFile(inWrite, abInput.data() + i, DWORD(abInput.size() - i), &iWritten, nullptr))
            break;
    }
    CloseHandle(inWrite);
    out.join();
    err.join();
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD iExit = 0;
    GetExitCodeProcess(pi.hProcess, &iExit);
    r.iExit = int(iExit);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return r;
}

void makeFolder(const std::string &sPath)
{
    if (!CreateDirectoryW(extended(sPath).c_str(), nullptr))
        throw std::runtime_error("cannot make " + sPath);
}

void writeFile(const std::string &sPath, const std::string &ab)
{
    const HANDLE h = CreateFileW(extended(sPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD iWritten = 0;
    const bool bWritten = h != INVALID_HANDLE_VALUE && WriteFile(h, ab.data(), DWORD(ab.size()), &iWritten, nullptr)
        && iWritten == ab.size();
    if (h == INVALID_HANDLE_VALUE || !CloseHandle(h) || !bWritten)
        throw std::runtime_error("cannot write " + sPath);
}

bool canList(const std::string &sPath)
{
    WIN32_FIND_DATAW found;
    const HANDLE hFind = FindFirstFileW((extended(sPath) + L"\\*").c_str(), &found);
    if (hFind != INVALID_HANDLE_VALUE)
        FindClose(hFind);
    return hFind != INVALID_HANDLE_VALUE;
}

void removeTree(const std::string &sPath)
{
    const std::wstring sFolder = extended(sPath);
    WIN32_FIND_DATAW found;
    const HANDLE hFind = FindFirstFileW((sFolder + L"\\*").c_str(), &found);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring sName = found.cFileName;
            if (sName == L"." || sName == L"..")
                continue;
            const int n = WideCharToMultiByte(CP_UTF8, 0, sName.data(), int(sName.size()), nullptr, 0, nullptr, nullptr);
            std::string s(std::size_t(n), '\0');
            WideCharToMultiByte(CP_UTF8, 0, sName.data(), int(sName.size()), s.data(), n, nullptr, nullptr);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(sPath + '\\' + s);
            else
                DeleteFileW((sFolder + L'\\' + sName).c_str());
        } while (FindNextFileW(hFind, &found));
        FindClose(hFind);
    }
    RemoveDirectoryW(sFolder.c_str());
}

char separator()
{
    return '\\';
}

FileWriter::FileWriter(const std::string &sPath)
    : h(CreateFileW(extended(sPath).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr))
{
    if (h == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot open " + sPath + " for writing");
}

FileWriter::~FileWriter()
{
    CloseHandle(h);
}

} // namespace lumbrik::testing
