#pragma once
// Test-only: answers the window's modal message boxes and open dialogs from
// inside their own message loops, and records what each showed.

#include <windows.h>

#include <deque>
#include <string>
#include <vector>

namespace lumbrik::testing {

// A window's text, and the name of its class.
std::wstring textOf(HWND h);
std::wstring classOf(HWND h);

struct SeenBox {
    std::wstring sCaption, sText;
    LPCWSTR sIcon = nullptr;  // IDI_WARNING, IDI_INFORMATION, IDI_ERROR, or null for another
    HWND hOwner = nullptr;
    std::wstring sLabelThen;  // the verdict label's text while the box was up
};

struct SeenDialog {
    std::wstring sTitle;
    std::vector<std::wstring> fileTypes;
    int iSelectedType = -1;
    bool bReadOnlyShown = false;
    bool bResizable = false;
    std::wstring sFileNameOffered;
    HWND hOwner = nullptr;
};

class ModalDriver
{
public:
    // hLabel: the label whose text is recorded with every box.
    explicit ModalDriver(HWND hLabel);
    ~ModalDriver();
    ModalDriver(const ModalDriver &) = delete;
    ModalDriver &operator=(const ModalDriver &) = delete;

    // The next open dialog is answered with sPath typed as its file name.
    void choose(const std::wstring &sPath);
    // The next open dialog is cancelled (so is any that nothing was queued for).
    void cancel();

    std::vector<SeenBox> boxes;
    std::vector<SeenDialog> dialogs;

private:
    static void CALLBACK onTimer(HWND, UINT, UINT_PTR, DWORD);
    void answer(HWND hDialog);

    HWND hLabel;
    UINT_PTR iTimer;
    std::deque<std::wstring> answers; // empty text: cancel
    std::vector<HWND> answered;       // answered and not yet closed
};

} // namespace lumbrik::testing
