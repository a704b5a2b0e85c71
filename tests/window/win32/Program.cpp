#include "Program.h"

#include <psapi.h>

#include <algorithm>
#include <cwctype>

namespace lumbrik::testing {
namespace {

constexpr int BOX_TEXT = 0xFFFF;
constexpr int FILE_TYPES = 0x470; // the open dialog's cmb1
constexpr int WAIT_STEPS = 400;   // of 50 ms

struct Search {
    DWORD iProcess;
    bool (*pWanted)(HWND);
    HWND hFound;
};

BOOL CALLBACK findWindow(HWND h, LPARAM lParam)
{
    auto *p = reinterpret_cast<Search *>(lParam);
    DWORD iOwner = 0;
    GetWindowThreadProcessId(h, &iOwner);
    if (iOwner != p->iProcess || !IsWindowVisible(h) || !p->pWanted(h))
        return TRUE;
    p->hFound = h;
    return FALSE;
}

// A visible top-level window of the process that pWanted accepts, waited for.
HWND waitForWindow(DWORD iProcess, bool (*pWanted)(HWND))
{
    for (int i = 0; i < WAIT_STEPS; ++i) {
        Search search = {iProcess, pWanted, nullptr};
        EnumWindows(findWindow, reinterpret_cast<LPARAM>(&search));
        if (search.hFound)
            return search.hFound;
        Sleep(50);
    }
    return nullptr;
}

void press(HWND hDialog, int iButton)
{
    PostMessageW(hDialog, WM_COMMAND, MAKEWPARAM(iButton, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hDialog, iButton)));
}

bool isOpenDialog(HWND h)
{
    return classOf(h) == L"#32770" && GetDlgItem(h, FILE_TYPES) != nullptr;
}

bool isBox(HWND h)
{
    return classOf(h) == L"#32770" && GetDlgItem(h, FILE_TYPES) == nullptr;
}

bool waitUntilGone(HWND h)
{
    for (int i = 0; i < WAIT_STEPS && IsWindow(h); ++i)
        Sleep(50);
    return !IsWindow(h);
}

} // namespace

Program::Program(const std::wstring &sExe, const std::wstring &sArguments, const std::wstring &sFolder)
{
    std::wstring sCommand = L"\"" + sExe + L"\" " + sArguments;
    STARTUPINFOW startup = {sizeof startup};
    if (!CreateProcessW(sExe.c_str(), sCommand.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        sFolder.empty() ? nullptr : sFolder.c_str(), &startup, &process))
        process = {};
}

Program::~Program()
{
    if (!started())
        return;
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 10000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

HWND Program::form()
{
    if (!hForm && started())
        hForm = waitForWindow(process.dwProcessId, [](HWND h) { return classOf(h) == L"TForm1"; });
    return hForm;
}

HWND Program::control(ControlId id)
{
    return form() ? controlOf(form(), id) : nullptr;
}

std::wstring Program::text(ControlId id)
{
    const HWND h = control(id);
    wchar_t s[4096] = {};
    DWORD_PTR iResult = 0;
    if (h)
        SendMessageTimeoutW(h, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(s), SMTO_ABORTIFHUNG, 10000, &iResult);
    return s;
}

void Program::click(ControlId id)
{
    PostMessageW(control(id), BM_CLICK, 0, 0);
}

HWND Program::dialog(bool bOpenDialog)
{
    if (!started())
        return nullptr;
    return waitForWindow(process.dwProcessId, bOpenDialog ? isOpenDialog : isBox);
}

std::optional<SeenBox> Program::answerBox()
{
    const HWND hBox = dialog(false);
    if (!hBox)
        return std::nullopt;
    SeenBox box;
    box.sCaption = textOf(hBox);
    box.sText = textOf(GetDlgItem(hBox, BOX_TEXT));
    box.hOwner = GetWindow(hBox, GW_OWNER);
    box.sLabelThen = text(ID_CHECK_RESULT);
    press(hBox, IDOK);
    waitUntilGone(hBox);
    return box;
}

bool Program::cancelOpenDialog()
{
    const HWND hDialog = dialog(true);
    if (!hDialog)
        return false;
    press(hDialog, IDCANCEL);
    return waitUntilGone(hDialog);
}

std::vector<std::wstring> Program::modules() const
{
    std::vector<HMODULE> handles(1024);
    DWORD iBytes = 0;
    if (!started() || !EnumProcessModules(process.hProcess, handles.data(), DWORD(handles.size() * sizeof(HMODULE)), &iBytes))
        return {};
    handles.resize(std::min<std::size_t>(handles.size(), iBytes / sizeof(HMODULE)));
    std::vector<std::wstring> names;
    for (HMODULE h : handles) {
        wchar_t sName[MAX_PATH] = {};
        if (GetModuleBaseNameW(process.hProcess, h, sName, MAX_PATH)) {
            std::wstring s = sName;
            std::transform(s.begin(), s.end(), s.begin(), [](wchar_t c) { return wchar_t(std::towlower(c)); });
            names.push_back(s);
        }
    }
    return names;
}

DWORD Program::close()
{
    if (form())
        PostMessageW(form(), WM_CLOSE, 0, 0);
    DWORD iExit = STILL_ACTIVE;
    if (started() && WaitForSingleObject(process.hProcess, 20000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &iExit);
    return iExit;
}

} // namespace lumbrik::testing
