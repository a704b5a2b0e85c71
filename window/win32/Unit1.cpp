#include "Unit1.h"

#include "Controls.h"
#include "PictureLoader.h"
#include "VerdictText.h"
#include "VoucherFile.h"
#include "WindowText.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <vector>

namespace lumbrik {
namespace {

constexpr wchar_t FORM_CLASS[] = L"TForm1";
constexpr wchar_t TITLE[] = L"Lumbrik";
constexpr DWORD FORM_STYLE = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;

// The layout at 96 dots per inch; every size is scaled to the window's resolution.
constexpr int CLIENT_WIDTH = 1133;
constexpr int CLIENT_HEIGHT = 584;
constexpr int TOP_HEIGHT = 43;
constexpr int SPLITTER_WIDTH = 3;
constexpr int PANE_WIDTH = 253;
constexpr int RESULT_HEIGHT = 50;
constexpr int FONT_HEIGHT = 12;
// A tab page's insets in its tab control: left, top (below the tabs), right, bottom.
constexpr int PAGE_LEFT = 4, PAGE_TOP = 24, PAGE_RIGHT = 4, PAGE_BOTTOM = 4;
// The widest line of the label's tool tip.
constexpr int TIP_WIDTH = 400;
// The panels' bevel, one pixel at every resolution.
constexpr int BEVEL = 1;

// Sent from Windows 8.1 on when the window meets another resolution; the
// headers declare it only for programs that require that version.
constexpr UINT WM_DPICHANGED_MESSAGE = 0x02E0;

constexpr COLORREF LABEL_BLUE = RGB(0, 0, 255);
constexpr COLORREF LABEL_RED = RGB(255, 0, 0);

// Windows' text is UTF-16 as the core's is.
const wchar_t *wide(const char16_t *s)
{
    return reinterpret_cast<const wchar_t *>(s);
}

std::wstring wide(const std::u16string &s)
{
    return {reinterpret_cast<const wchar_t *>(s.data()), s.size()};
}

std::u16string utf16(const std::wstring &s)
{
    return {reinterpret_cast<const char16_t *>(s.data()), s.size()};
}

// The last component of sPath, after its last backslash or slash.
std::u16string fileNameOf(const std::wstring &sPath)
{
    const std::size_t iSlash = sPath.find_last_of(L"\\/");
    return utf16(iSlash == std::wstring::npos ? sPath : sPath.substr(iSlash + 1));
}

// Whether a file, not a folder, is at sPath, following symbolic links.
bool fileExists(const std::wstring &sPath)
{
    const HANDLE h = CreateFileW(sPath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool bFile = GetFileInformationByHandle(h, &info) && !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    CloseHandle(h);
    return bFile;
}

// The open dialog's file types, as the dialog takes them: pairs of a shown
// name and its patterns, each ended by a zero, the list by a second one.
// Entry 1 gathers the patterns of all the others.
std::wstring pictureFilters()
{
    std::wstring sAll, sEntries;
    for (const PictureType &type : PICTURE_TYPES) {
        const std::wstring sPattern = L"*." + std::wstring(type.sExtension.begin(), type.sExtension.end());
        sAll += (sAll.empty() ? L"" : L";") + sPattern;
        sEntries += std::wstring(type.sName.begin(), type.sName.end()) + L" (" + sPattern + L")" + L'\0' + sPattern + L'\0';
    }
    return wide(ALL_PICTURES) + (L" (" + sAll + L")") + L'\0' + sAll + L'\0' + sEntries;
}

// The system's resolution functions of Windows 10, where the system has them.
template <class Function>
Function user32(const char *sName)
{
    return reinterpret_cast<Function>(reinterpret_cast<void *>(GetProcAddress(GetModuleHandleW(L"user32.dll"), sName)));
}

UINT dpiOf(HWND hwnd)
{
    static const auto pGetDpiForWindow = user32<UINT(WINAPI *)(HWND)>("GetDpiForWindow");
    if (pGetDpiForWindow)
        return pGetDpiForWindow(hwnd);
    const HDC dc = GetDC(nullptr);
    const int iDpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return UINT(iDpi);
}

// The window's outer size for a client area of iWidth × iHeight at iDpi.
SIZE frameSize(int iWidth, int iHeight, UINT iDpi)
{
    static const auto pAdjust = user32<BOOL(WINAPI *)(RECT *, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    RECT r = {0, 0, iWidth, iHeight};
    if (!pAdjust || !pAdjust(&r, FORM_STYLE, FALSE, 0, iDpi))
        AdjustWindowRectEx(&r, FORM_STYLE, FALSE, 0);
    return {r.right - r.left, r.bottom - r.top};
}

// s broken into lines that each fit iWidth pixels in hWindow's font: after the
// last space that fits, or else after the last character that does. A tool tip
// breaks lines at spaces only, and a verdict on a long Chinese name has none.
std::wstring brokenToWidth(HWND hWindow, const std::wstring &s, int iWidth)
{
    const HDC dc = GetDC(hWindow);
    const HGDIOBJ hOld = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(hWindow, WM_GETFONT, 0, 0)));
    std::wstring sOut;
    for (std::size_t i = 0; i < s.size();) {
        INT iFit = 0;
        SIZE size;
        GetTextExtentExPointW(dc, s.c_str() + i, int(s.size() - i), iWidth, &iFit, nullptr, &size);
        std::size_t iTake = std::max<std::size_t>(1, std::size_t(iFit));
        if (i + iTake < s.size()) {
            const std::size_t iSpace = s.find_last_of(L' ', i + iTake - 1);
            if (iSpace != std::wstring::npos && iSpace > i)
                iTake = iSpace + 1 - i;
            else if (iTake > 1 && IS_HIGH_SURROGATE(s[i + iTake - 1]))
                --iTake; // a pair stays whole
        }
        sOut.append(s, i, iTake);
        i += iTake;
        if (i < s.size())
            sOut += L"\r\n";
    }
    SelectObject(dc, hOld);
    ReleaseDC(hWindow, dc);
    return sOut;
}

// The busy cursor, for as long as the object lives: a large file takes a while
// to read, decode and check, and no message is handled meanwhile.
class BusyCursor
{
public:
    BusyCursor() : hBefore(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
    ~BusyCursor() { SetCursor(hBefore); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;

private:
    HCURSOR hBefore;
};

HFONT createFont(const char16_t *sFace, int iHeight)
{
    return CreateFontW(-iHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, wide(sFace));
}

void place(HWND h, int iLeft, int iTop, int iWidth, int iHeight)
{
    MoveWindow(h, iLeft, iTop, std::max(0, iWidth), std::max(0, iHeight), TRUE);
}

struct ControlSearch {
    int id;
    HWND hFound;
};

BOOL CALLBACK findControl(HWND h, LPARAM lParam)
{
    auto *p = reinterpret_cast<ControlSearch *>(lParam);
    if (GetDlgCtrlID(h) != p->id)
        return TRUE;
    p->hFound = h;
    return FALSE;
}

SIZE clientSize(HWND h)
{
    RECT r;
    GetClientRect(h, &r);
    return {r.right, r.bottom};
}

} // namespace

TForm1::TForm1(HINSTANCE hInstance)
{
    registerControlClasses(hInstance);
    WNDCLASSEXW wc = {sizeof wc};
    if (!GetClassInfoExW(hInstance, FORM_CLASS, &wc)) {
        wc = {sizeof wc};
        wc.lpfnWndProc = windowProc;
        wc.hInstance = hInstance;
        wc.hIcon = LoadIconW(hInstance, L"IDI_ICON1");
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        wc.lpszClassName = FORM_CLASS;
        RegisterClassExW(&wc);
    }
    const INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TAB_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    CreateWindowExW(0, FORM_CLASS, TITLE, FORM_STYLE, CW_USEDEFAULT, CW_USEDEFAULT, CLIENT_WIDTH, CLIENT_HEIGHT, nullptr,
                    nullptr, hInstance, this);
    if (!hwnd)
        return;
    iDpi = dpiOf(hwnd);
    iPaneWidth = scaled(PANE_WIDTH);
    createControls();
    createFonts();
    const SIZE frame = frameSize(scaled(CLIENT_WIDTH), scaled(CLIENT_HEIGHT), iDpi);
    SetWindowPos(hwnd, nullptr, 0, 0, frame.cx, frame.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    DragAcceptFiles(hwnd, TRUE);
}

TForm1::~TForm1()
{
    if (hwnd)
        DestroyWindow(hwnd);
    DeleteObject(hSongTi);
    DeleteObject(hYaHei);
}

HWND controlOf(HWND hForm, ControlId id)
{
    // Controls sit in panels and pages: look through every level.
    ControlSearch search = {id, nullptr};
    EnumChildWindows(hForm, findControl, reinterpret_cast<LPARAM>(&search));
    return search.hFound;
}

HWND TForm1::control(ControlId id) const
{
    return controlOf(hwnd, id);
}

bool TForm1::isDialogMessage(MSG *msg) const
{
    if (!hwnd)
        return false;
    if (msg->message == WM_KEYDOWN && GetKeyState(VK_CONTROL) >= 0 && GetKeyState(VK_MENU) >= 0) {
        const HWND hFocus = GetFocus();
        // Enter presses the focused button: a window that is not a dialog has
        // no default button for the dialog handling to press.
        if (msg->wParam == VK_RETURN && (SendMessageW(hFocus, WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON)) {
            SendMessageW(hFocus, BM_CLICK, 0, 0);
            return true;
        }
        if (msg->wParam == VK_TAB && IsChild(hwnd, hFocus)) {
            SetFocus(nextTabStop(hFocus, GetKeyState(VK_SHIFT) < 0));
            return true;
        }
    }
    return IsDialogMessageW(hwnd, msg);
}

HWND TForm1::nextTabStop(HWND hFrom, bool bBack) const
{
    // The tab control holds its pages, so the dialog order would pass over
    // either it or the page's text box: the text box comes right after it.
    const HWND hTabs = control(ID_PAGE_CONTROL1);
    const HWND hMemo = control(IsWindowVisible(control(ID_TAB_SHEET1)) ? ID_CZQM : ID_DWQM);
    if (hFrom == hTabs && !bBack)
        return hMemo;
    if (hFrom == hMemo && bBack)
        return hTabs;
    const HWND hNext = GetNextDlgTabItem(hwnd, hFrom == hMemo ? hTabs : hFrom, bBack);
    return hNext == hTabs && bBack ? hMemo : hNext;
}

void TForm1::createControls()
{
    const auto hInstance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd, GWLP_HINSTANCE));
    const auto add = [hInstance](HWND hParent, const wchar_t *sClass, const wchar_t *sText, DWORD iStyle, DWORD iExStyle,
                                 ControlId id, const PanelStyle *pPanel = nullptr) {
        return CreateWindowExW(iExStyle, sClass, sText, WS_CHILD | WS_VISIBLE | iStyle, 0, 0, 0, 0, hParent,
                               reinterpret_cast<HMENU>(INT_PTR(id)), hInstance, const_cast<PanelStyle *>(pPanel));
    };
    static constexpr PanelStyle WINDOW_PANEL = {COLOR_WINDOW, true};
    static constexpr PanelStyle FACE_PANEL = {COLOR_BTNFACE, true};
    static constexpr PanelStyle PAGE = {COLOR_BTNFACE, false};
    constexpr DWORD PANEL = WS_CLIPCHILDREN;
    constexpr DWORD BUTTON = WS_TABSTOP | BS_PUSHBUTTON;
    constexpr DWORD MEMO = WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;

    // Created in tab order: the buttons, the picture, then the tabs before the verdict.
    const HWND Panel1 = add(hwnd, PANEL_CLASS, L"", PANEL, WS_EX_CONTROLPARENT, ID_PANEL1, &WINDOW_PANEL);
    add(Panel1, WC_BUTTONW, L"打开票据", BUTTON, 0, ID_OPEN_FILE);
    add(Panel1, WC_BUTTONW, L"验    证", BUTTON, 0, ID_CHECK_VOUCHER);
    add(Panel1, WC_BUTTONW, L"关    闭", BUTTON, 0, ID_CLOSE);
    const HWND Panel2 = add(hwnd, PANEL_CLASS, L"", PANEL, 0, ID_PANEL2, &WINDOW_PANEL);
    add(Panel2, IMAGE_CLASS, L"", 0, 0, ID_IMAGE1);
    add(hwnd, SPLITTER_CLASS, L"", 0, 0, ID_SPLITTER1);
    const HWND Panel3 = add(hwnd, PANEL_CLASS, L"", PANEL, WS_EX_CONTROLPARENT, ID_PANEL3, &FACE_PANEL);
    const HWND PageControl1 = add(Panel3, WC_TABCONTROLW, L"", WS_TABSTOP | WS_CLIPCHILDREN, 0, ID_PAGE_CONTROL1);
    const HWND TabSheet1 = add(PageControl1, PANEL_CLASS, L"", PANEL, WS_EX_CONTROLPARENT, ID_TAB_SHEET1, &PAGE);
    const HWND TabSheet2 = add(PageControl1, PANEL_CLASS, L"", PANEL, WS_EX_CONTROLPARENT, ID_TAB_SHEET2, &PAGE);
    for (const HWND hMemo : {add(TabSheet1, WC_EDITW, L"", MEMO, WS_EX_CLIENTEDGE, ID_CZQM),
                             add(TabSheet2, WC_EDITW, L"", MEMO, WS_EX_CLIENTEDGE, ID_DWQM)})
        SendMessageW(hMemo, EM_SETLIMITTEXT, 0, 0); // no limit
    const HWND Panel4 = add(Panel3, PANEL_CLASS, L"", PANEL, WS_EX_CONTROLPARENT, ID_PANEL4, &WINDOW_PANEL);
    // Plain text: an ampersand in a file name is shown as it is.
    const HWND lbl = add(Panel4, WC_STATICW, wide(RESULT_CAPTION), SS_LEFT | SS_NOPREFIX | SS_NOTIFY, 0, ID_CHECK_RESULT);

    const wchar_t *sPages[] = {L"财政签名", L"单位签名"};
    for (int i = 0; i < 2; ++i) {
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t *>(sPages[i]);
        SendMessageW(PageControl1, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }

    // The label cuts what does not fit: its tool tip holds the whole verdict.
    hToolTip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd, nullptr, hInstance,
                               nullptr);
    TTTOOLINFOW tool = {sizeof tool};
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd;
    tool.uId = reinterpret_cast<UINT_PTR>(lbl);
    tool.lpszText = const_cast<wchar_t *>(wide(RESULT_CAPTION));
    SendMessageW(hToolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(hToolTip, TTM_SETMAXTIPWIDTH, 0, scaled(TIP_WIDTH));
}

void TForm1::createFonts()
{
    const HFONT hOldSongTi = hSongTi, hOldYaHei = hYaHei;
    hSongTi = createFont(SONG_TI, scaled(FONT_HEIGHT));
    hYaHei = createFont(YA_HEI, scaled(FONT_HEIGHT));
    // The buttons in Microsoft YaHei, everything else in the window's SimSun.
    for (const ControlId id : {ID_OPEN_FILE, ID_CHECK_VOUCHER, ID_CLOSE, ID_CHECK_RESULT, ID_PAGE_CONTROL1, ID_CZQM, ID_DWQM}) {
        const bool bButton = id == ID_OPEN_FILE || id == ID_CHECK_VOUCHER || id == ID_CLOSE;
        SendMessageW(control(id), WM_SETFONT, reinterpret_cast<WPARAM>(bButton ? hYaHei : hSongTi), TRUE);
    }
    DeleteObject(hOldSongTi);
    DeleteObject(hOldYaHei);
}

int TForm1::scaled(int iPixels) const
{
    return MulDiv(iPixels, int(iDpi), USER_DEFAULT_SCREEN_DPI);
}

void TForm1::layout()
{
    const SIZE client = clientSize(hwnd);
    const int iTop = scaled(TOP_HEIGHT), iSplitter = scaled(SPLITTER_WIDTH), iHeight = client.cy - iTop;
    const int iPaneLeft = client.cx - iPaneWidth;
    place(control(ID_PANEL1), 0, 0, client.cx, iTop);
    place(control(ID_OPEN_FILE), scaled(17), scaled(6), scaled(100), scaled(30));
    place(control(ID_CHECK_VOUCHER), scaled(123), scaled(7), scaled(100), scaled(30));
    place(control(ID_CLOSE), scaled(229), scaled(6), scaled(100), scaled(30));

    place(control(ID_PANEL2), 0, iTop, iPaneLeft - iSplitter, iHeight);
    place(control(ID_IMAGE1), BEVEL, BEVEL, iPaneLeft - iSplitter - 2 * BEVEL, iHeight - 2 * BEVEL);
    place(control(ID_SPLITTER1), iPaneLeft - iSplitter, iTop, iSplitter, iHeight);

    place(control(ID_PANEL3), iPaneLeft, iTop, iPaneWidth, iHeight);
    const int iInnerWidth = iPaneWidth - 2 * BEVEL, iResult = scaled(RESULT_HEIGHT);
    place(control(ID_PANEL4), BEVEL, BEVEL, iInnerWidth, iResult);
    place(control(ID_CHECK_RESULT), scaled(5), scaled(10), scaled(236), scaled(34));
    const int iTabsHeight = iHeight - 2 * BEVEL - iResult;
    place(control(ID_PAGE_CONTROL1), BEVEL, BEVEL + iResult, iInnerWidth, iTabsHeight);
    const int iPageWidth = iInnerWidth - scaled(PAGE_LEFT + PAGE_RIGHT);
    const int iPageHeight = iTabsHeight - scaled(PAGE_TOP + PAGE_BOTTOM);
    for (const ControlId id : {ID_TAB_SHEET1, ID_TAB_SHEET2})
        place(control(id), scaled(PAGE_LEFT), scaled(PAGE_TOP), iPageWidth, iPageHeight);
    for (const ControlId id : {ID_CZQM, ID_DWQM})
        place(control(id), 0, 0, iPageWidth, iPageHeight);
}

void TForm1::placeOnScreen()
{
    // Centred on the work area, and whole on it: a window that the resolution
    // makes larger than the area is shrunk to it, the picture giving up the room.
    MONITORINFO monitor = {sizeof monitor};
    GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT &work = monitor.rcWork;
    const SIZE frame = frameSize(scaled(CLIENT_WIDTH), scaled(CLIENT_HEIGHT), iDpi);
    const int iWidth = std::min<int>(frame.cx, work.right - work.left);
    const int iHeight = std::min<int>(frame.cy, work.bottom - work.top);
    SetWindowPos(hwnd, nullptr, work.left + (work.right - work.left - iWidth) / 2,
                 work.top + (work.bottom - work.top - iHeight) / 2, iWidth, iHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm1::show(int nCmdShow)
{
    placeOnScreen();
    FormShow();
    ShowWindow(hwnd, nCmdShow);
    UpdateWindow(hwnd);
}

LRESULT CALLBACK TForm1::windowProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_NCCREATE) {
        auto *pForm = static_cast<TForm1 *>(reinterpret_cast<CREATESTRUCTW *>(lParam)->lpCreateParams);
        pForm->hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pForm));
    }
    auto *pForm = reinterpret_cast<TForm1 *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!pForm)
        return DefWindowProcW(hwnd, uMsg, wParam, lParam);
    // No exception leaves for the system.
    try {
        return pForm->handle(uMsg, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

LRESULT TForm1::handle(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED)
            break;
        switch (LOWORD(wParam)) {
        case ID_OPEN_FILE:
            btn_OpenFileClick();
            return 0;
        case ID_CHECK_VOUCHER:
            btn_CheckVoucherClick();
            return 0;
        case ID_CLOSE:
            btn_CloseClick();
            return 0;
        default:
            break;
        }
        break;
    case WM_NOTIFY: {
        const auto *pHeader = reinterpret_cast<const NMHDR *>(lParam);
        if (pHeader->idFrom == ID_PAGE_CONTROL1 && pHeader->code == TCN_SELCHANGE)
            showPage(int(SendMessageW(pHeader->hwndFrom, TCM_GETCURSEL, 0, 0)));
        return 0;
    }
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) != control(ID_CHECK_RESULT))
            break;
        SetTextColor(reinterpret_cast<HDC>(wParam), labelColour);
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    case WM_CTLCOLORBTN: // the buttons stand on a panel of the window's colour
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    case LM_LEGAL_PANE_WIDTH:
        return legalPaneWidth(int(wParam), clientSize(hwnd).cx - scaled(SPLITTER_WIDTH), scaled(PANE_MIN_SIZE));
    case LM_SET_PANE_WIDTH:
        iPaneWidth = int(wParam);
        layout();
        return 0;
    case WM_SIZE:
        layout();
        return 0;
    case WM_ACTIVATE:
        // Focus goes back where it was when the window was left (for a box, say).
        if (LOWORD(wParam) == WA_INACTIVE) {
            hLastFocus = IsChild(hwnd, GetFocus()) ? GetFocus() : hLastFocus;
        } else if (!HIWORD(wParam)) {
            SetFocus(IsWindow(hLastFocus) ? hLastFocus : control(ID_OPEN_FILE));
        }
        return 0;
    case WM_DPICHANGED_MESSAGE: {
        iPaneWidth = MulDiv(iPaneWidth, HIWORD(wParam), int(iDpi));
        iDpi = HIWORD(wParam);
        createFonts();
        SendMessageW(hToolTip, TTM_SETMAXTIPWIDTH, 0, scaled(TIP_WIDTH));
        const RECT *pSuggested = reinterpret_cast<const RECT *>(lParam);
        SetWindowPos(hwnd, nullptr, pSuggested->left, pSuggested->top, pSuggested->right - pSuggested->left,
                     pSuggested->bottom - pSuggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        layout();
        return 0;
    }
    case WM_DROPFILES: {
        const auto hDrop = reinterpret_cast<HDROP>(wParam);
        // One file dropped opens it, as a confirmed open dialog does.
        if (DragQueryFileW(hDrop, 0xFFFFFFFF, nullptr, 0) == 1) {
            std::wstring sPath(DragQueryFileW(hDrop, 0, nullptr, 0), L'\0');
            DragQueryFileW(hDrop, 0, sPath.data(), UINT(sPath.size() + 1));
            openVoucher(sPath);
        }
        DragFinish(hDrop);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        hwnd = nullptr;
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd, uMsg, wParam, lParam);
}

void TForm1::FormShow()
{
    sFileName.clear();
    initDisp();
}

void TForm1::initDisp()
{
    showResult(wide(RESULT_CAPTION), LABEL_BLUE);
    SetWindowTextW(control(ID_CZQM), L"");
    SetWindowTextW(control(ID_DWQM), L"");
    SendMessageW(control(ID_PAGE_CONTROL1), TCM_SETCURSEL, 0, 0);
    showPage(0);
}

void TForm1::btn_OpenFileClick()
{
    const std::wstring sFilters = pictureFilters();
    // Room for a long path; the dialog offers the last chosen one.
    std::vector<wchar_t> sPath(32768, L'\0');
    std::copy_n(sFileName.begin(), std::min(sFileName.size(), sPath.size() - 1), sPath.begin());
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = hwnd;
    dialog.lpstrFilter = sFilters.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = sPath.data();
    dialog.nMaxFile = DWORD(sPath.size());
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING;
    if (GetOpenFileNameW(&dialog))
        openVoucher(sPath.data());
}

void TForm1::openAtStart(const std::wstring &sPath)
{
    if (!fileExists(sPath)) {
        message(MB_ICONWARNING, HINT_CAPTION, FILE_GONE_TEXT);
        return;
    }
    openVoucher(sPath);
}

void TForm1::openVoucher(const std::wstring &sPath)
{
    sFileName = sPath;
    try {
        ReadError error = ReadError::None;
        bool bHeader = false;
        {
            const BusyCursor busy;
            const FileBytes file = readVoucher(utf16(sPath));
            error = file.error;
            bHeader = showPicture(file.view());
        }
        if (error != ReadError::None)
            message(MB_ICONERROR, NO_PICTURE_CAPTION, openFailureText(error));
        else if (!bHeader)
            message(MB_ICONERROR, NO_PICTURE_CAPTION, std::u16string(NO_PICTURE_PREFIX) + NO_HEADER_MESSAGE);
    } catch (...) {
    }
    initDisp();
}

bool TForm1::showPicture(std::string_view abFile)
{
    const Picture picture = decodePicture(abFile);
    SendMessageW(control(ID_IMAGE1), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture.hBitmap));
    return picture.bHeader;
}

void TForm1::btn_CheckVoucherClick()
{
    if (sFileName.empty()) {
        message(MB_ICONWARNING, HINT_CAPTION, NO_FILE_TEXT);
        return;
    }
    if (!fileExists(sFileName)) {
        message(MB_ICONWARNING, HINT_CAPTION, FILE_GONE_TEXT);
        return;
    }
    std::u16string sSignCZ, sSignDw, ErrMsg;
    bool bIntact = false;
    ReadError error = ReadError::None;
    {
        const BusyCursor busy;
        const FileBytes file = readVoucher(utf16(sFileName));
        error = file.error;
        if (error == ReadError::None) {
            // The file may have changed since it was opened: what is checked is shown.
            showPicture(file.view());
            bIntact = checkVoucherBytes(file.view(), sSignCZ, sSignDw, ErrMsg);
        }
    }
    if (error != ReadError::None) {
        // Nothing was looked at, so nothing is judged.
        message(MB_ICONWARNING, HINT_CAPTION, checkFailureText(error));
        initDisp();
        return;
    }
    const std::u16string sName = fileNameOf(sFileName);
    if (bIntact) {
        showResult(wide(RESULT_CAPTION + verdictText(true, sName)), LABEL_BLUE);
        showSignatures(sSignCZ, sSignDw);
        message(MB_ICONINFORMATION, HINT_CAPTION, PASSED_TEXT);
    } else {
        message(MB_ICONINFORMATION, FAILED_CAPTION, FAILED_PREFIX + ErrMsg);
        showResult(wide(RESULT_CAPTION + verdictText(false, sName)), LABEL_RED);
        showSignatures({}, {});
    }
}

void TForm1::btn_CloseClick()
{
    DestroyWindow(hwnd);
}

void TForm1::showResult(const std::wstring &sCaption, COLORREF colour)
{
    const HWND lbl = control(ID_CHECK_RESULT);
    labelColour = colour;
    SetWindowTextW(lbl, sCaption.c_str());
    InvalidateRect(lbl, nullptr, TRUE);
    std::wstring sTip = brokenToWidth(hToolTip, sCaption, scaled(TIP_WIDTH));
    TTTOOLINFOW tool = {sizeof tool};
    tool.hwnd = hwnd;
    tool.uId = reinterpret_cast<UINT_PTR>(lbl);
    tool.lpszText = sTip.data();
    SendMessageW(hToolTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void TForm1::showSignatures(const std::u16string &sSignCZ, const std::u16string &sSignDw)
{
    SetWindowTextW(control(ID_CZQM), wide(withLineBreaks(sSignCZ, u"\r\n")).c_str());
    SetWindowTextW(control(ID_DWQM), wide(withLineBreaks(sSignDw, u"\r\n")).c_str());
}

void TForm1::showPage(int iPage)
{
    ShowWindow(control(ID_TAB_SHEET1), iPage == 0 ? SW_SHOW : SW_HIDE);
    ShowWindow(control(ID_TAB_SHEET2), iPage == 1 ? SW_SHOW : SW_HIDE);
}

void TForm1::message(UINT uIcon, const char16_t *sCaption, const std::u16string &sText)
{
    MessageBoxW(hwnd, wide(sText).c_str(), wide(sCaption), MB_OK | uIcon);
}

} // namespace lumbrik
