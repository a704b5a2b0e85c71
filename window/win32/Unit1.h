#pragma once
// The main window on Windows: open a voucher, see it, check it, read the
// verdict and the two signatures. The window only shows what the verification
// core returns; its controls are the system's own.

#include <windows.h>

#include <string>
#include <string_view>

namespace lumbrik {

// The controls' identifiers, by which the window and its tests find them.
enum ControlId : int {
    ID_PANEL1 = 100,
    ID_OPEN_FILE,
    ID_CHECK_VOUCHER,
    ID_CLOSE,
    ID_PANEL2,
    ID_IMAGE1,
    ID_SPLITTER1,
    ID_PANEL3,
    ID_PANEL4,
    ID_CHECK_RESULT,
    ID_PAGE_CONTROL1,
    ID_TAB_SHEET1,
    ID_TAB_SHEET2,
    ID_CZQM,
    ID_DWQM,
};

// The control with the identifier id in the window hForm, wherever it is
// nested; null when there is none. hForm may belong to another process.
HWND controlOf(HWND hForm, ControlId id);

class TForm1
{
public:
    // Creates the window, hidden; show() places and shows it.
    explicit TForm1(HINSTANCE hInstance);
    ~TForm1();
    TForm1(const TForm1 &) = delete;
    TForm1 &operator=(const TForm1 &) = delete;

    // Centres the window on its screen's work area, resets it and shows it.
    void show(int nCmdShow);
    HWND handle() const { return hwnd; }
    // The control with the identifier id, wherever it is nested.
    HWND control(ControlId id) const;
    // Lets Tab, Enter and Space reach the window's controls; true when msg was used.
    bool isDialogMessage(MSG *msg) const;
    // The control that Tab, or Shift+Tab with bBack, moves to from hFrom.
    HWND nextTabStop(HWND hFrom, bool bBack) const;
    // Opens the voucher the program was started with, as a confirmed open does; says so when it is missing.
    void openAtStart(const std::wstring &sPath);

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT uMsg, WPARAM wParam, LPARAM lParam);

    void createControls();
    void createFonts();
    void layout();
    void placeOnScreen();
    int scaled(int iPixels) const;

    void FormShow();
    void initDisp();
    void btn_OpenFileClick();
    void btn_CheckVoucherClick();
    void btn_CloseClick();

    // What a confirmed open does with the chosen path.
    void openVoucher(const std::wstring &sPath);
    // Shows the picture in a file's bytes, or none; whether they have a picture header.
    bool showPicture(std::string_view abFile);
    void showResult(const std::wstring &sCaption, COLORREF colour);
    void showSignatures(const std::u16string &sSignCZ, const std::u16string &sSignDw);
    void showPage(int iPage);
    void message(UINT uIcon, const char16_t *sCaption, const std::u16string &sText);

    HWND hwnd = nullptr;
    HWND hToolTip = nullptr;
    HWND hLastFocus = nullptr; // the control that had the focus when the window was left
    HFONT hSongTi = nullptr;
    HFONT hYaHei = nullptr;
    UINT iDpi = USER_DEFAULT_SCREEN_DPI;
    int iPaneWidth = 0; // Panel3's width in pixels; 0 when the splitter closed it
    COLORREF labelColour = 0;
    std::wstring sFileName;
};

} // namespace lumbrik
