// The installed program, as Windows starts it: the command that the "Open
// with" entry (HKCR\Applications\Lumbrik.exe) registers. Run by
// scripts/test-windows-packages after the MSI is installed, with the voucher
// to open in LUMBRIK_TEST_VOUCHER; not a CTest test.

#include "WindowFixture.h"

#include <doctest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

using lumbrik::testing::classOf;
using lumbrik::testing::textOf;

namespace {

// The registered command line, "%1" standing for the file.
std::wstring openCommand()
{
    wchar_t s[1024] = {};
    DWORD iSize = sizeof s;
    const LSTATUS iStatus = RegGetValueW(HKEY_CLASSES_ROOT, L"Applications\\Lumbrik.exe\\shell\\open\\command", nullptr,
                                         RRF_RT_REG_SZ, nullptr, s, &iSize);
    REQUIRE(iStatus == ERROR_SUCCESS);
    return s;
}

std::wstring replaced(std::wstring s, const std::wstring &sWhat, const std::wstring &sBy)
{
    const auto i = s.find(sWhat);
    REQUIRE(i != std::wstring::npos);
    return s.replace(i, sWhat.size(), sBy);
}

std::wstring voucher()
{
    const wchar_t *s = _wgetenv(L"LUMBRIK_TEST_VOUCHER");
    REQUIRE(s);
    return s;
}

struct Search {
    DWORD iProcess;
    const wchar_t *sClass;
    HWND hFound;
};

BOOL CALLBACK findTopLevel(HWND h, LPARAM lParam)
{
    auto *p = reinterpret_cast<Search *>(lParam);
    DWORD iOwner = 0;
    GetWindowThreadProcessId(h, &iOwner);
    if (iOwner != p->iProcess || !IsWindowVisible(h) || classOf(h) != p->sClass)
        return TRUE;
    p->hFound = h;
    return FALSE;
}

// The process's visible top-level window of class sClass, waited for up to 20 s.
HWND waitForWindow(DWORD iProcess, const wchar_t *sClass)
{
    Search search = {iProcess, sClass, nullptr};
    for (int i = 0; i < 400 && !search.hFound; ++i) {
        Sleep(50);
        EnumWindows(findTopLevel, reinterpret_cast<LPARAM>(&search));
    }
    return search.hFound;
}

// The running program, started with sCommand.
class Started
{
public:
    explicit Started(std::wstring sCommand)
    {
        STARTUPINFOW startup = {sizeof startup};
        REQUIRE(CreateProcessW(nullptr, sCommand.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
        hForm = waitForWindow(process.dwProcessId, L"TForm1");
        REQUIRE(hForm);
    }
    ~Started()
    {
        TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    Started(const Started &) = delete;
    Started &operator=(const Started &) = delete;

    // The window's control of identifier iId, at any depth.
    HWND control(int iId) const
    {
        Control wanted = {iId, nullptr};
        EnumChildWindows(hForm, found, reinterpret_cast<LPARAM>(&wanted));
        return wanted.h;
    }

    // Closes the window; the exit code.
    DWORD close()
    {
        PostMessageW(hForm, WM_CLOSE, 0, 0);
        DWORD iExit = 1;
        if (WaitForSingleObject(process.hProcess, 10000) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.hProcess, &iExit);
        return iExit;
    }

    PROCESS_INFORMATION process = {};
    HWND hForm = nullptr;

private:
    struct Control {
        int iId;
        HWND h;
    };
    static BOOL CALLBACK found(HWND h, LPARAM lParam)
    {
        auto *p = reinterpret_cast<Control *>(lParam);
        if (GetDlgCtrlID(h) != p->iId)
            return TRUE;
        p->h = h;
        return FALSE;
    }
};

} // namespace

TEST_CASE("The installed program starts and ends with 0 when closed")
{
    const std::wstring sCommand = openCommand();
    CHECK(sCommand.find(L"\"%1\"") != std::wstring::npos); // a path with spaces stays one argument
    Started program(replaced(sCommand, L" \"%1\"", L""));
    CHECK(textOf(program.hForm) == L"Lumbrik");
    CHECK(program.close() == 0);
}

// Needs the program to open the voucher named on its command line at start.
TEST_CASE("Open with: the installed program checks the voucher it is given when 验证 is pressed")
{
    const std::wstring sVoucher = voucher();
    Started program(replaced(openCommand(), L"%1", sVoucher));
    PostMessageW(program.control(lumbrik::ID_CHECK_VOUCHER), BM_CLICK, 0, 0);
    const HWND hBox = waitForWindow(program.process.dwProcessId, L"#32770");
    REQUIRE(hBox);
    CHECK(textOf(hBox) == std::wstring(L"提示"));
    CHECK(textOf(GetDlgItem(hBox, 0xFFFF)) == std::wstring(L"校验通过！"));
    PostMessageW(hBox, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 100 && IsWindow(hBox); ++i)
        Sleep(50);
    const std::wstring sName = sVoucher.substr(sVoucher.find_last_of(L"\\/") + 1);
    CHECK(textOf(program.control(lumbrik::ID_CHECK_RESULT)) == L"查验结果：自应用本签名以来，“" + sName + L"”没有被篡改。");
    CHECK(program.close() == 0);
}
