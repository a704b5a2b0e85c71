#include "Controls.h"

#include <windowsx.h>

namespace lumbrik {
namespace {

// A panel hands what its controls tell it on to the window that handles it.
bool isForwarded(UINT uMsg)
{
    switch (uMsg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case LM_LEGAL_PANE_WIDTH:
    case LM_SET_PANE_WIDTH:
        return true;
    default:
        return false;
    }
}

LRESULT CALLBACK panelProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_NCCREATE) {
        const auto *pStyle = static_cast<const PanelStyle *>(reinterpret_cast<CREATESTRUCTW *>(lParam)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, MAKELONG(pStyle->iColour, pStyle->bBevel));
    }
    if (isForwarded(uMsg))
        return SendMessageW(GetParent(hwnd), uMsg, wParam, lParam);
    // A multi-line edit sends its parent WM_CLOSE on Esc: a panel is never closed.
    if (uMsg == WM_CLOSE)
        return 0;
    if (uMsg == WM_ERASEBKGND) {
        const LONG_PTR iStyle = GetWindowLongPtrW(hwnd, GWLP_USERDATA);
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(reinterpret_cast<HDC>(wParam), &r, GetSysColorBrush(LOWORD(iStyle)));
        if (HIWORD(iStyle))
            DrawEdge(reinterpret_cast<HDC>(wParam), &r, BDR_RAISEDINNER, BF_RECT);
        return 1;
    }
    return DefWindowProcW(hwnd, uMsg, wParam, lParam);
}

// The splitter's drag: where it started and where its line is drawn now.
struct Drag {
    bool bActive = false;
    int iPressX = 0;      // in the parent's client coordinates
    int iPressWidth = 0;  // the pane's width then
    int iLineX = -1;      // the line's left edge in the parent; -1 when none is drawn
};

// Draws (or, drawn again at the same place, erases) the hatched drag line.
void invertLine(HWND hSplitter, int iX)
{
    static const WORD HATCH[8] = {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA};
    RECT r;
    GetWindowRect(hSplitter, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(hSplitter), reinterpret_cast<POINT *>(&r), 2);
    const HDC dc = GetDCEx(GetParent(hSplitter), nullptr, DCX_CACHE | DCX_CLIPSIBLINGS | DCX_LOCKWINDOWUPDATE);
    const HBITMAP hPattern = CreateBitmap(8, 8, 1, 1, HATCH);
    const HBRUSH hBrush = CreatePatternBrush(hPattern);
    const HGDIOBJ hOld = SelectObject(dc, hBrush);
    PatBlt(dc, iX, r.top, r.right - r.left, r.bottom - r.top, PATINVERT);
    SelectObject(dc, hOld);
    DeleteObject(hBrush);
    DeleteObject(hPattern);
    ReleaseDC(GetParent(hSplitter), dc);
}

// The pane's width, and where its left border would stand, for a mouse at iX.
int legalWidthAt(HWND hwnd, const Drag &drag, int iX)
{
    return int(SendMessageW(GetParent(hwnd), LM_LEGAL_PANE_WIDTH, WPARAM(drag.iPressWidth - (iX - drag.iPressX)), 0));
}

int lineXFor(HWND hwnd, int iPaneWidth)
{
    RECT parent, own;
    GetClientRect(GetParent(hwnd), &parent);
    GetClientRect(hwnd, &own);
    return parent.right - iPaneWidth - own.right;
}

// The mouse's x in the parent's client coordinates.
int parentX(HWND hwnd, LPARAM lParam)
{
    POINT p = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    MapWindowPoints(hwnd, GetParent(hwnd), &p, 1);
    return p.x;
}

// Ends the drag and erases its line; false when there was none.
bool endDrag(HWND hwnd, Drag *pDrag)
{
    if (!pDrag || !pDrag->bActive)
        return false;
    pDrag->bActive = false;
    invertLine(hwnd, pDrag->iLineX);
    pDrag->iLineX = -1;
    return true;
}

LRESULT CALLBACK splitterProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    auto *pDrag = reinterpret_cast<Drag *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (uMsg) {
    case WM_NCCREATE:
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new Drag));
        break;
    case WM_NCDESTROY:
        delete pDrag;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        break;
    case WM_LBUTTONDOWN: {
        RECT parent, own;
        GetClientRect(GetParent(hwnd), &parent);
        GetWindowRect(hwnd, &own);
        MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT *>(&own), 2);
        *pDrag = {true, parentX(hwnd, lParam), int(parent.right - own.right), -1};
        SetCapture(hwnd);
        pDrag->iLineX = lineXFor(hwnd, pDrag->iPressWidth);
        invertLine(hwnd, pDrag->iLineX);
        return 0;
    }
    case WM_MOUSEMOVE:
        if (pDrag && pDrag->bActive) {
            const int iLineX = lineXFor(hwnd, legalWidthAt(hwnd, *pDrag, parentX(hwnd, lParam)));
            if (iLineX != pDrag->iLineX) {
                invertLine(hwnd, pDrag->iLineX);
                invertLine(hwnd, iLineX);
                pDrag->iLineX = iLineX;
            }
        }
        return 0;
    case WM_LBUTTONUP:
        if (endDrag(hwnd, pDrag)) {
            ReleaseCapture();
            SendMessageW(GetParent(hwnd), LM_SET_PANE_WIDTH, WPARAM(legalWidthAt(hwnd, *pDrag, parentX(hwnd, lParam))), 0);
        }
        return 0;
    case WM_CAPTURECHANGED: // the drag ends without a new width
        endDrag(hwnd, pDrag);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd, uMsg, wParam, lParam);
}

// Draws the image box's picture stretched to the whole box, filtered so that a
// voucher's small print stays readable.
void paintImage(HWND hwnd, HDC dc, HBITMAP hPicture)
{
    RECT r;
    GetClientRect(hwnd, &r);
    FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
    BITMAP bm;
    if (!hPicture || !GetObjectW(hPicture, sizeof bm, &bm))
        return;
    const HDC src = CreateCompatibleDC(dc);
    const HGDIOBJ hOld = SelectObject(src, hPicture);
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, 0, 0, r.right, r.bottom, src, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
    SelectObject(src, hOld);
    DeleteDC(src);
}

// The image box answers STM_SETIMAGE and STM_GETIMAGE as a picture control
// does, and owns the bitmap it was given.
LRESULT CALLBACK imageProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    const auto hPicture = reinterpret_cast<HBITMAP>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (uMsg) {
    case STM_SETIMAGE:
        if (wParam != IMAGE_BITMAP)
            return 0;
        if (hPicture)
            DeleteObject(hPicture);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, lParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case STM_GETIMAGE:
        return wParam == IMAGE_BITMAP ? reinterpret_cast<LRESULT>(hPicture) : 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SIZE:
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        const HDC dc = BeginPaint(hwnd, &ps);
        paintImage(hwnd, dc, hPicture);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_NCDESTROY:
        if (hPicture)
            DeleteObject(hPicture);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd, uMsg, wParam, lParam);
}

void registerClass(HINSTANCE hInstance, const wchar_t *sName, WNDPROC proc, LPCWSTR sCursor, HBRUSH hBackground = nullptr)
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW; // a bevel drawn at the old edge must go
    wc.lpfnWndProc = proc;
    wc.hInstance = hInstance;
    wc.hCursor = LoadCursorW(nullptr, sCursor);
    wc.hbrBackground = hBackground;
    wc.lpszClassName = sName;
    RegisterClassExW(&wc);
}

} // namespace

void registerControlClasses(HINSTANCE hInstance)
{
    WNDCLASSEXW existing = {sizeof existing};
    if (GetClassInfoExW(hInstance, PANEL_CLASS, &existing))
        return;
    registerClass(hInstance, PANEL_CLASS, panelProc, IDC_ARROW);
    registerClass(hInstance, SPLITTER_CLASS, splitterProc, IDC_SIZEWE, GetSysColorBrush(COLOR_BTNFACE));
    registerClass(hInstance, IMAGE_CLASS, imageProc, IDC_ARROW);
}

} // namespace lumbrik
