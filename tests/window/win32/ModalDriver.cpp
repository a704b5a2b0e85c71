#include "ModalDriver.h"

#include <algorithm>

namespace lumbrik::testing {
namespace {

// The controls of the system's dialogs that the driver reads or fills.
constexpr int BOX_TEXT = 0xFFFF;
constexpr int FILE_TYPES = 0x470;      // cmb1
constexpr int FILE_NAME_COMBO = 0x47C; // cmb13
constexpr int FILE_NAME_EDIT = 0x480;  // edt1
constexpr int READ_ONLY = 0x410;       // chx1

ModalDriver *pActive = nullptr;

// The system icon that the box shows, by identity with the shared icons.
LPCWSTR iconOf(HWND hBox)
{
    HICON hShown = nullptr;
    for (HWND h = GetWindow(hBox, GW_CHILD); h && !hShown; h = GetWindow(h, GW_HWNDNEXT))
        if ((GetWindowLongW(h, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            hShown = reinterpret_cast<HICON>(SendMessageW(h, STM_GETICON, 0, 0));
    for (LPCWSTR sIcon : {IDI_WARNING, IDI_INFORMATION, IDI_ERROR})
        if (hShown && hShown == LoadIconW(nullptr, sIcon))
            return sIcon;
    return nullptr;
}

struct DialogSearch {
    const std::vector<HWND> *pSkip;
    HWND hFound;
};

BOOL CALLBACK findDialogWindow(HWND h, LPARAM lParam)
{
    auto *p = reinterpret_cast<DialogSearch *>(lParam);
    if (!IsWindowVisible(h) || classOf(h) != L"#32770" || std::find(p->pSkip->begin(), p->pSkip->end(), h) != p->pSkip->end())
        return TRUE;
    p->hFound = h;
    return FALSE;
}

// The first visible dialog of this thread that is not in skip.
HWND findDialog(const std::vector<HWND> &skip)
{
    DialogSearch search = {&skip, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), findDialogWindow, reinterpret_cast<LPARAM>(&search));
    return search.hFound;
}

void press(HWND hDialog, int iButton)
{
    PostMessageW(hDialog, WM_COMMAND, MAKEWPARAM(iButton, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hDialog, iButton)));
}

} // namespace

std::wstring textOf(HWND h)
{
    std::wstring s(std::size_t(GetWindowTextLengthW(h)), L'\0');
    GetWindowTextW(h, s.data(), int(s.size() + 1));
    return s;
}

std::wstring classOf(HWND h)
{
    wchar_t s[64] = {};
    GetClassNameW(h, s, 64);
    return s;
}

ModalDriver::ModalDriver(HWND hLabel) : hLabel(hLabel), iTimer(SetTimer(nullptr, 0, 20, onTimer))
{
    pActive = this;
}

ModalDriver::~ModalDriver()
{
    KillTimer(nullptr, iTimer);
    pActive = nullptr;
}

void ModalDriver::choose(const std::wstring &sPath)
{
    answers.push_back(sPath);
}

void ModalDriver::cancel()
{
    answers.emplace_back();
}

void CALLBACK ModalDriver::onTimer(HWND, UINT, UINT_PTR, DWORD)
{
    if (!pActive)
        return;
    auto &answered = pActive->answered;
    answered.erase(std::remove_if(answered.begin(), answered.end(), [](HWND h) { return !IsWindow(h); }), answered.end());
    if (const HWND hDialog = findDialog(answered)) {
        answered.push_back(hDialog);
        pActive->answer(hDialog);
    }
}

void ModalDriver::answer(HWND hDialog)
{
    const HWND hTypes = GetDlgItem(hDialog, FILE_TYPES);
    if (!hTypes) {
        boxes.push_back({textOf(hDialog), textOf(GetDlgItem(hDialog, BOX_TEXT)), iconOf(hDialog),
                         GetWindow(hDialog, GW_OWNER), textOf(hLabel)});
        press(hDialog, IDOK);
        return;
    }
    SeenDialog seen;
    seen.sTitle = textOf(hDialog);
    const int iCount = int(SendMessageW(hTypes, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < iCount; ++i) {
        std::wstring s(std::size_t(SendMessageW(hTypes, CB_GETLBTEXTLEN, i, 0)), L'\0');
        SendMessageW(hTypes, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(s.data()));
        seen.fileTypes.push_back(s.c_str());
    }
    seen.iSelectedType = int(SendMessageW(hTypes, CB_GETCURSEL, 0, 0));
    const HWND hReadOnly = GetDlgItem(hDialog, READ_ONLY);
    seen.bReadOnlyShown = hReadOnly && IsWindowVisible(hReadOnly);
    seen.bResizable = (GetWindowLongW(hDialog, GWL_STYLE) & WS_THICKFRAME) != 0;
    const int iNameField = GetDlgItem(hDialog, FILE_NAME_COMBO) ? FILE_NAME_COMBO : FILE_NAME_EDIT;
    seen.sFileNameOffered = textOf(GetDlgItem(hDialog, iNameField));
    seen.hOwner = GetWindow(hDialog, GW_OWNER);
    dialogs.push_back(seen);

    std::wstring sAnswer;
    if (!answers.empty()) {
        sAnswer = answers.front();
        answers.pop_front();
    }
    if (sAnswer.empty()) {
        press(hDialog, IDCANCEL);
        return;
    }
    SetDlgItemTextW(hDialog, iNameField, sAnswer.c_str());
    press(hDialog, IDOK);
}

} // namespace lumbrik::testing
