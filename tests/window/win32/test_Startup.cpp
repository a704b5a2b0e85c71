// The real program: one window titled Lumbrik, and its resources;
// closing it ends the program with 0.

#include "ModalDriver.h"

#include <doctest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

struct FormSearch {
    DWORD iProcess;
    std::vector<HWND> found;
};

BOOL CALLBACK collectForm(HWND h, LPARAM lParam)
{
    auto *p = reinterpret_cast<FormSearch *>(lParam);
    DWORD iOwner = 0;
    GetWindowThreadProcessId(h, &iOwner);
    if (iOwner == p->iProcess && lumbrik::testing::classOf(h) == L"TForm1")
        p->found.push_back(h);
    return TRUE;
}

// Top-level windows of class TForm1 that belong to the process.
std::vector<HWND> formsOf(DWORD iProcess)
{
    FormSearch search = {iProcess, {}};
    EnumWindows(collectForm, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

} // namespace

TEST_CASE("Lumbrik.exe shows one window and ends with 0 when it is closed")
{
    std::wstring sCommand = LUMBRIK_EXE;
    STARTUPINFOW startup = {sizeof startup};
    PROCESS_INFORMATION process = {};
    REQUIRE(CreateProcessW(nullptr, sCommand.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    std::vector<HWND> forms;
    for (int i = 0; i < 200 && forms.empty(); ++i) {
        Sleep(50);
        forms = formsOf(process.dwProcessId);
        if (!forms.empty() && !IsWindowVisible(forms[0]))
            forms.clear();
    }
    REQUIRE(forms.size() == 1);
    CHECK(lumbrik::testing::textOf(forms[0]) == L"Lumbrik");

    PostMessageW(forms[0], WM_CLOSE, 0, 0);
    CHECK(WaitForSingleObject(process.hProcess, 10000) == WAIT_OBJECT_0);
    DWORD iExit = 1;
    GetExitCodeProcess(process.hProcess, &iExit);
    CHECK(iExit == 0);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

TEST_CASE("Lumbrik.exe carries its version record and manifest")
{
    const HMODULE hExe = LoadLibraryExW(LUMBRIK_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    REQUIRE(hExe);
    CHECK(FindResourceW(hExe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)) != nullptr); // the manifest
    const HRSRC hVersion = FindResourceW(hExe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));
    REQUIRE(hVersion);
    const void *pVersion = LockResource(LoadResource(hExe, hVersion));
    void *pValue = nullptr;
    UINT iLength = 0;
    REQUIRE(VerQueryValueW(pVersion, L"\\StringFileInfo\\080404b0\\ProductName", &pValue, &iLength));
    CHECK(std::wstring(static_cast<const wchar_t *>(pValue)) == L"Lumbrik");
    REQUIRE(VerQueryValueW(pVersion, L"\\", &pValue, &iLength));
    const auto *pFixed = static_cast<const VS_FIXEDFILEINFO *>(pValue);
    CHECK(pFixed->dwFileVersionMS == 0x00010000u);
    CHECK(pFixed->dwProductVersionLS == 0u);
    FreeLibrary(hExe);
}
