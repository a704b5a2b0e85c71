// Lumbrik for Windows: one window in which an operator checks a voucher's seal.

#include "SystemDlls.h"
#include "Unit1.h"

#include <shellapi.h>

#include <string>

namespace {

// The first argument as a full path, or nothing: "Open with", a file dropped
// on the program's icon and a shortcut name the voucher there. Full, for the
// open dialog may move the current folder later.
std::wstring voucherArgument()
{
    int iCount = 0;
    LPWSTR *ppArguments = CommandLineToArgvW(GetCommandLineW(), &iCount);
    if (!ppArguments)
        return {};
    std::wstring sPath;
    if (iCount > 1 && *ppArguments[1]) {
        sPath.resize(GetFullPathNameW(ppArguments[1], 0, nullptr, nullptr));
        const DWORD iLength = GetFullPathNameW(ppArguments[1], DWORD(sPath.size()), sPath.data(), nullptr);
        sPath.resize(iLength < sPath.size() ? iLength : 0);
        if (sPath.empty())
            sPath = ppArguments[1];
    }
    LocalFree(ppArguments);
    return sPath;
}

} // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, PWSTR, int nCmdShow)
{
    lumbrik::loadDllsFromSystem32Only();
    lumbrik::TForm1 Form1(hInstance);
    if (!Form1.handle())
        return 1;
    Form1.show(nCmdShow);
    if (const std::wstring sPath = voucherArgument(); !sPath.empty())
        Form1.openAtStart(sPath); // further arguments are ignored
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!Form1.isDialogMessage(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return 0;
}
