// The window's layout at 96 dots per inch: places, captions, fonts, colours,
// the splitter's rule and what a resize leaves.

#include "WindowFixture.h"

#include "Controls.h"

#include <commctrl.h>

using namespace lumbrik;
using namespace lumbrik::testing;

namespace {

struct Place {
    ControlId id;
    const char *sName;
    RECT r; // in the parent's client coordinates: left, top, right, bottom
};

// Every control, as laid out at 96 DPI (left, top, width and height in the
// layout table, written here as edges).
const Place PLACES[] = {
    {ID_PANEL1, "Panel1", {0, 0, 1133, 43}},
    {ID_OPEN_FILE, "btn_OpenFile", {17, 6, 117, 36}},
    {ID_CHECK_VOUCHER, "btn_CheckVoucher", {123, 7, 223, 37}},
    {ID_CLOSE, "btn_Close", {229, 6, 329, 36}},
    {ID_PANEL2, "Panel2", {0, 43, 877, 584}},
    {ID_IMAGE1, "Image1", {1, 1, 876, 540}},
    {ID_SPLITTER1, "Splitter1", {877, 43, 880, 584}},
    {ID_PANEL3, "Panel3", {880, 43, 1133, 584}},
    {ID_PANEL4, "Panel4", {1, 1, 252, 51}},
    {ID_CHECK_RESULT, "lbl_CheckResult", {5, 10, 241, 44}},
    {ID_PAGE_CONTROL1, "PageControl1", {1, 51, 252, 540}},
    {ID_TAB_SHEET1, "TabSheet1", {4, 24, 247, 485}},
    {ID_CZQM, "mo_Czqm", {0, 0, 243, 461}},
};

bool operator==(const RECT &a, const RECT &b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string show(const RECT &r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + " to " + std::to_string(r.right) + "," + std::to_string(r.bottom);
}

LOGFONTW fontOf(HWND h)
{
    LOGFONTW font = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font;
}

// Whether any pixel of h's client area, as drawn on the screen, has the colour.
bool showsColour(HWND h, COLORREF colour)
{
    RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    RECT r;
    GetClientRect(h, &r);
    const HDC dc = GetDC(h);
    bool bFound = false;
    for (int y = 0; y < r.bottom && !bFound; ++y)
        for (int x = 0; x < r.right && !bFound; ++x)
            bFound = GetPixel(dc, x, y) == colour;
    ReleaseDC(h, dc);
    return bFound;
}

// Drags the splitter by iDx pixels, as the mouse does.
void dragSplitter(HWND hSplitter, int iDx)
{
    SendMessageW(hSplitter, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 100));
    SendMessageW(hSplitter, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(1 + iDx / 2, 100));
    SendMessageW(hSplitter, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(1 + iDx, 100));
    SendMessageW(hSplitter, WM_LBUTTONUP, 0, MAKELPARAM(1 + iDx, 100));
}

} // namespace

TEST_CASE_FIXTURE(Window, "every control in its place")
{
    RECT client;
    GetClientRect(form.handle(), &client);
    CHECK(client == RECT{0, 0, 1133, 584});
    for (const Place &place : PLACES) {
        INFO(place.sName, ": ", show(inParent((*this)[place.id])));
        CHECK(inParent((*this)[place.id]) == place.r);
    }
    CHECK(inParent((*this)[ID_TAB_SHEET2]) == inParent((*this)[ID_TAB_SHEET1]));
    CHECK(inParent((*this)[ID_DWQM]) == inParent((*this)[ID_CZQM]));
}

TEST_CASE_FIXTURE(Window, "centred on the screen's work area")
{
    RECT work, frame;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(form.handle(), &frame);
    CHECK(std::abs((frame.left - work.left) - (work.right - frame.right)) <= 1);
    CHECK(std::abs((frame.top - work.top) - (work.bottom - frame.bottom)) <= 1);
    CHECK(frame.left >= work.left);
    CHECK(frame.top >= work.top);
}

TEST_CASE_FIXTURE(Window, "captions and fonts")
{
    CHECK(textOf(form.handle()) == L"Lumbrik");
    CHECK(GetClassLongPtrW(form.handle(), GCLP_HICON) != 0); // the executable's own icon
    CHECK(text(ID_OPEN_FILE) == L"打开票据");
    CHECK(text(ID_CHECK_VOUCHER) == L"验    证");
    CHECK(text(ID_CLOSE) == L"关    闭");
    CHECK(text(ID_CHECK_RESULT) == L"查验结果：");
    const wchar_t *sPages[] = {L"财政签名", L"单位签名"};
    REQUIRE(SendMessageW((*this)[ID_PAGE_CONTROL1], TCM_GETITEMCOUNT, 0, 0) == 2);
    for (int i = 0; i < 2; ++i) {
        wchar_t s[32] = {};
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = s;
        item.cchTextMax = 32;
        SendMessageW((*this)[ID_PAGE_CONTROL1], TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
        CHECK(std::wstring(s) == sPages[i]);
    }
    struct Font {
        ControlId id;
        const wchar_t *sFace;
    };
    for (const Font &font : {Font{ID_OPEN_FILE, L"微软雅黑"}, Font{ID_CHECK_VOUCHER, L"微软雅黑"}, Font{ID_CLOSE, L"微软雅黑"},
                             Font{ID_CHECK_RESULT, L"宋体"}, Font{ID_CZQM, L"宋体"}, Font{ID_DWQM, L"宋体"}}) {
        const LOGFONTW shown = fontOf((*this)[font.id]);
        INFO("control ", int(font.id));
        CHECK(std::wstring(shown.lfFaceName) == font.sFace);
        CHECK(shown.lfHeight == -12);
        CHECK(shown.lfCharSet == GB2312_CHARSET);
    }
}

TEST_CASE_FIXTURE(Window, "text boxes wrap without scroll bars; the label shows text as it is")
{
    for (const ControlId id : {ID_CZQM, ID_DWQM}) {
        const LONG iStyle = GetWindowLongW((*this)[id], GWL_STYLE);
        CHECK((iStyle & ES_MULTILINE) != 0);
        CHECK((iStyle & (ES_AUTOHSCROLL | WS_HSCROLL | WS_VSCROLL | ES_READONLY)) == 0);
    }
    const LONG iLabel = GetWindowLongW((*this)[ID_CHECK_RESULT], GWL_STYLE);
    CHECK((iLabel & SS_TYPEMASK) == SS_LEFT); // breaks between words, cuts what does not fit
    CHECK((iLabel & SS_NOPREFIX) != 0);
}

TEST_CASE_FIXTURE(Window, "the verdict label is drawn in blue at rest")
{
    CHECK(showsColour((*this)[ID_CHECK_RESULT], RGB(0, 0, 255)));
    CHECK_FALSE(showsColour((*this)[ID_CHECK_RESULT], RGB(255, 0, 0)));
}

TEST_CASE_FIXTURE(Window, "a wider window widens only the picture")
{
    RECT frame;
    GetWindowRect(form.handle(), &frame);
    SetWindowPos(form.handle(), nullptr, 0, 0, frame.right - frame.left + 200, frame.bottom - frame.top + 100,
                 SWP_NOMOVE | SWP_NOZORDER);
    CHECK(inParent((*this)[ID_PANEL3]) == RECT{1080, 43, 1333, 684});
    CHECK(inParent((*this)[ID_PANEL2]) == RECT{0, 43, 1077, 684});
}

TEST_CASE_FIXTURE(Window, "dragging the splitter")
{
    struct Row {
        const char *sName;
        int iDx, iPaneWidth;
    };
    // The pane is 253 wide; the two panes share 1130 pixels.
    const Row rows[] = {
        {"to the left widens the pane", -100, 353},
        {"to the right narrows it", 100, 153},
        {"to 31 pixels", 222, 31},
        {"to 30 pixels closes it", 223, 0},
        {"past the window's edge closes it", 400, 0},
        {"leaves 30 for the picture", -1000, 1100},
    };
    for (const Row &row : rows) {
        INFO(row.sName);
        SendMessageW(form.handle(), LM_SET_PANE_WIDTH, 253, 0);
        dragSplitter((*this)[ID_SPLITTER1], row.iDx);
        const RECT pane = inParent((*this)[ID_PANEL3]);
        CHECK(pane.right - pane.left == row.iPaneWidth);
        CHECK(pane.right == 1133);
        CHECK(inParent((*this)[ID_SPLITTER1]).right == pane.left);
    }
}

TEST_CASE_FIXTURE(Window, "the verdict label is drawn in red after a failed check")
{
    fixtures::TempDir dir;
    open(dir.write("plain.png", fixtures::pngSignature() + fixtures::ihdr() + fixtures::chunk("IDAT", fixtures::IMAGE_DATA)
                                    + fixtures::chunk("IEND", "")));
    click(ID_CHECK_VOUCHER);
    CHECK(showsColour((*this)[ID_CHECK_RESULT], RGB(255, 0, 0)));
    CHECK_FALSE(showsColour((*this)[ID_CHECK_RESULT], RGB(0, 0, 255)));
}

TEST_CASE_FIXTURE(Window, "on a screen of 144 DPI every size and font grows by half")
{
    // The system suggests the window's new rectangle; this one keeps it, to
    // stay on the test's small screen.
    RECT frame;
    GetWindowRect(form.handle(), &frame);
    SendMessageW(form.handle(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&frame));
    pump();
    RECT client;
    GetClientRect(form.handle(), &client);
    REQUIRE(client.right == 1133);
    // 96-DPI sizes times 1.5, halves rounded up; the bevels stay one pixel.
    CHECK(inParent((*this)[ID_PANEL1]) == RECT{0, 0, 1133, 65});
    CHECK(inParent((*this)[ID_OPEN_FILE]) == RECT{26, 9, 176, 54});
    CHECK(inParent((*this)[ID_PANEL3]) == RECT{753, 65, 1133, 584});
    CHECK(inParent((*this)[ID_SPLITTER1]) == RECT{748, 65, 753, 584});
    CHECK(inParent((*this)[ID_CHECK_RESULT]) == RECT{8, 15, 362, 66});
    CHECK(inParent((*this)[ID_PAGE_CONTROL1]) == RECT{1, 76, 379, 518});
    CHECK(fontOf((*this)[ID_CHECK_RESULT]).lfHeight == -18);
    CHECK(fontOf((*this)[ID_OPEN_FILE]).lfHeight == -18);
    CHECK(std::wstring(fontOf((*this)[ID_OPEN_FILE]).lfFaceName) == L"微软雅黑");
}
