// What the window does: open, check, verdict, signatures, boxes, drop, close.

#include "WindowFixture.h"

#include <commctrl.h>

#include <algorithm>
#include <filesystem>

using namespace lumbrik;
using namespace lumbrik::fixtures;
using namespace lumbrik::testing;

namespace {

const std::wstring AT_REST = L"查验结果：";
const std::wstring NO_HEADER_BOX = L"图片加载失败，错误信息：This operation is not valid because the current image contains no valid header.";
const std::wstring FAILED_BOX = L"校验失败，错误信息：获取加密信息失败！";

std::wstring passedText(const std::wstring &sName)
{
    return L"查验结果：自应用本签名以来，“" + sName + L"”没有被篡改。";
}

std::wstring failedText(const std::wstring &sName)
{
    return L"查验结果：自应用本签名以来，“" + sName + L"”已被篡改，请停止使用。";
}

int activePage(const Window &w)
{
    return int(SendMessageW(w[ID_PAGE_CONTROL1], TCM_GETCURSEL, 0, 0));
}

// Turns to the second page as a click on its tab does.
void turnToSecondPage(Window &w)
{
    SendMessageW(w[ID_PAGE_CONTROL1], TCM_SETCURSEL, 1, 0);
    NMHDR header = {w[ID_PAGE_CONTROL1], UINT_PTR(ID_PAGE_CONTROL1), UINT(TCN_SELCHANGE)};
    SendMessageW(w.form.handle(), WM_NOTIFY, ID_PAGE_CONTROL1, reinterpret_cast<LPARAM>(&header));
}

BOOL CALLBACK findToolTip(HWND h, LPARAM lParam)
{
    auto *pFound = reinterpret_cast<std::pair<HWND, HWND> *>(lParam);
    if (GetWindow(h, GW_OWNER) != pFound->first || classOf(h) != TOOLTIPS_CLASSW)
        return TRUE;
    pFound->second = h;
    return FALSE;
}

// The tool tip window that the form owns.
HWND toolTipOf(HWND hForm)
{
    std::pair<HWND, HWND> found = {hForm, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), findToolTip, reinterpret_cast<LPARAM>(&found));
    return found.second;
}

std::u16string utf16(const std::wstring &s)
{
    return {reinterpret_cast<const char16_t *>(s.data()), s.size()};
}

std::vector<std::wstring> linesOf(const std::wstring &s)
{
    std::vector<std::wstring> lines(1);
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s.compare(i, 2, L"\r\n") == 0) {
            lines.emplace_back();
            ++i;
        } else {
            lines.back() += s[i];
        }
    }
    return lines;
}

std::wstring withoutBreaks(const std::wstring &s)
{
    std::wstring sJoined;
    for (const std::wstring &sLine : linesOf(s))
        sJoined += sLine;
    return sJoined;
}

// How wide sText is drawn in h's font.
int widthIn(HWND h, const std::wstring &sText)
{
    const HDC dc = GetDC(h);
    const HGDIOBJ hOld = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(h, WM_GETFONT, 0, 0)));
    SIZE size = {};
    GetTextExtentPoint32W(dc, sText.c_str(), int(sText.size()), &size);
    SelectObject(dc, hOld);
    ReleaseDC(h, dc);
    return size.cx;
}

// Runs the program's own loop over what waits in the queue: keys go through
// the window's dialog handling.
void runLoop(Window &w)
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!w.form.isDialogMessage(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

// Another program's handle on a file, for as long as the object lives.
class HeldFile
{
public:
    HeldFile(const std::u16string &sPath, DWORD iAccess, DWORD iShare)
        : h(CreateFileW(reinterpret_cast<const wchar_t *>(sPath.c_str()), iAccess, iShare, nullptr, OPEN_EXISTING, 0, nullptr))
    {
        REQUIRE(h != INVALID_HANDLE_VALUE);
    }
    ~HeldFile() { CloseHandle(h); }
    HeldFile(const HeldFile &) = delete;
    HeldFile &operator=(const HeldFile &) = delete;

private:
    HANDLE h;
};

} // namespace

TEST_CASE_FIXTURE(Window, "checking before any file was opened")
{
    click(ID_CHECK_VOUCHER);
    REQUIRE(driver.boxes.size() == 1);
    CHECK(driver.boxes[0].sCaption == L"提示");
    CHECK(driver.boxes[0].sText == L"请先打开票据文件！");
    CHECK(driver.boxes[0].sIcon == IDI_WARNING);
    CHECK(driver.boxes[0].hOwner == form.handle());
    CHECK(text(ID_CHECK_RESULT) == AT_REST);
}

TEST_CASE_FIXTURE(Window, "the open dialog")
{
    TempDir dir;
    const std::u16string sPath = dir.write("voucher.png", goodVoucher());
    open(sPath);
    REQUIRE(driver.dialogs.size() == 1);
    const SeenDialog &seen = driver.dialogs[0];
    const std::vector<std::wstring> types = {
        L"All (*.png;*.bmp;*.jpg;*.jpeg;*.gif;*.png;*.ico;*.emf;*.wmf;*.tif;*.tiff)",
        L"Portable Network Graphics (*.png)", L"Bitmaps (*.bmp)", L"JPEG Images (*.jpg)", L"JPEG Images (*.jpeg)",
        L"GIF Images (*.gif)", L"PNG Images (*.png)", L"Icons (*.ico)", L"Enhanced Metafiles (*.emf)",
        L"Metafiles (*.wmf)", L"TIFF Images (*.tif)", L"TIFF Images (*.tiff)"};
    CHECK(seen.fileTypes == types);
    CHECK(seen.iSelectedType == 0);
    CHECK_FALSE(seen.bReadOnlyShown);
    CHECK(seen.bResizable);
    CHECK(seen.hOwner == form.handle());
    CHECK(driver.boxes.empty());
    CHECK(pictureSize().cx == IMAGE_WIDTH);
    CHECK(pictureSize().cy == IMAGE_HEIGHT);

    // The next time it offers the file chosen last.
    driver.cancel();
    click(ID_OPEN_FILE);
    REQUIRE(driver.dialogs.size() == 2);
    CHECK(driver.dialogs[1].sFileNameOffered.find(L"voucher.png") != std::wstring::npos);
}

TEST_CASE_FIXTURE(Window, "a checked file: verdict, signatures, box, and which comes first")
{
    struct Row {
        const char *sName;
        std::string file;
        bool bPicture;
        std::vector<std::wstring> openBoxes;
        bool bIntact;
        std::wstring sCzqm, sDwqm;
    };
    const std::string tampered = voucher(payload(u"00000000000000000000000000000000", voucherXml(u"CZ", u"DW")));
    const std::vector<Row> rows = {
        {"intact", goodVoucher(), true, {}, true, L"CZ-SIG", L"DW-SIG"},
        {"signatures over several lines",
         voucher(payload(IMAGE_SEAL_U, voucherXml(u"line 1\nline 2\r\nline 3", u"a\rb"))), true, {}, true,
         L"line 1\r\nline 2\r\nline 3", L"a\r\nb"},
        {"altered", tampered, true, {}, false, L"", L""},
        {"not a PNG", "GIF89a not a picture", false, {NO_HEADER_BOX}, false, L"", L""},
        {"an ordinary PNG", pngSignature() + ihdr() + chunk("IDAT", IMAGE_DATA) + chunk("IEND", ""), true, {}, false, L"", L""},
    };
    for (const Row &row : rows) {
        INFO(row.sName);
        TempDir dir;
        driver.boxes.clear();
        open(dir.write("v.png", row.file));
        CHECK((pictureSize().cx > 0) == row.bPicture);
        REQUIRE(driver.boxes.size() == row.openBoxes.size());
        for (std::size_t i = 0; i < row.openBoxes.size(); ++i) {
            CHECK(driver.boxes[i].sText == row.openBoxes[i]);
            CHECK(driver.boxes[i].sCaption == L"出错啦");
            CHECK(driver.boxes[i].sIcon == IDI_ERROR);
            CHECK(driver.boxes[i].hOwner == form.handle());
        }
        driver.boxes.clear();
        SetWindowTextW((*this)[ID_CZQM], L"typed by the operator");

        click(ID_CHECK_VOUCHER);
        REQUIRE(driver.boxes.size() == 1);
        const SeenBox &box = driver.boxes[0];
        CHECK(box.hOwner == form.handle());
        CHECK(box.sIcon == IDI_INFORMATION);
        if (row.bIntact) {
            CHECK(box.sCaption == L"提示");
            CHECK(box.sText == L"校验通过！");
            CHECK(box.sLabelThen == passedText(L"v.png")); // the label first, then the box
            CHECK(text(ID_CHECK_RESULT) == passedText(L"v.png"));
        } else {
            CHECK(box.sCaption == L"错啦");
            CHECK(box.sText == FAILED_BOX);
            CHECK(box.sLabelThen == AT_REST); // the box first, then the label
            CHECK(text(ID_CHECK_RESULT) == failedText(L"v.png"));
        }
        CHECK(text(ID_CZQM) == row.sCzqm);
        CHECK(text(ID_DWQM) == row.sDwqm);
    }
}

TEST_CASE_FIXTURE(Window, "opening another file resets the display; checking again checks anew")
{
    TempDir dir;
    open(dir.write("good.png", goodVoucher()));
    click(ID_CHECK_VOUCHER);
    turnToSecondPage(*this);
    click(ID_CHECK_VOUCHER);
    CHECK(activePage(*this) == 1); // a check leaves the page as it is
    CHECK(text(ID_DWQM) == L"DW-SIG");

    open(dir.write("other.png", goodVoucher()));
    CHECK(text(ID_CHECK_RESULT) == AT_REST);
    CHECK(text(ID_CZQM).empty());
    CHECK(text(ID_DWQM).empty());
    CHECK(activePage(*this) == 0);
    CHECK(IsWindowVisible((*this)[ID_CZQM]));
    CHECK_FALSE(IsWindowVisible((*this)[ID_DWQM]));
}

TEST_CASE_FIXTURE(Window, "cancelling the dialog keeps the verdict, the signatures and the picture")
{
    TempDir dir;
    open(dir.write("good.png", goodVoucher()));
    click(ID_CHECK_VOUCHER);
    driver.cancel();
    click(ID_OPEN_FILE);
    CHECK(text(ID_CHECK_RESULT) == passedText(L"good.png"));
    CHECK(text(ID_CZQM) == L"CZ-SIG");
    CHECK(pictureSize().cx == IMAGE_WIDTH);
}

TEST_CASE_FIXTURE(Window, "after a whole header no box: the picture when it can be decoded, and a check all the same")
{
    const std::string head = pngSignature() + ihdr();
    const std::string idat = chunk("IDAT", IMAGE_DATA);
    struct Row {
        const char *sName;
        std::string file;
        bool bPicture;
    };
    const Row rows[] = {
        {"IEND with a wrong CRC", head + idat + chunk("IEND", payload(IMAGE_SEAL_U, voucherXml(u"CZ", u"DW")), Crc::Wrong), true},
        {"no IEND", head + idat, true},
        {"a cut chunk after the image data", head + idat + chunkHeader("tEXt", 100) + "abc", true},
        {"image data that is not deflate", head + chunk("IDAT", "not deflate") + chunk("IEND", ""), false},
        {"an IDAT chunk claiming 2 GiB", head + chunkHeader("IDAT", 0x7FFFFFFF) + "abc", false},
        {"100000 x 100000 pixels", pngSignature() + ihdr(100000, 100000) + idat + chunk("IEND", ""), false},
        {"no image data", head + chunk("IEND", payload(EMPTY_SEAL, u"")), false},
    };
    for (const Row &row : rows) {
        INFO(row.sName);
        TempDir dir;
        driver.boxes.clear();
        open(dir.write("v.png", row.file));
        CHECK(driver.boxes.empty());
        CHECK(pictureSize().cx == (row.bPicture ? IMAGE_WIDTH : 0));
        CHECK(pictureSize().cy == (row.bPicture ? IMAGE_HEIGHT : 0));
        click(ID_CHECK_VOUCHER);
        CHECK(driver.boxes.size() == 1);
    }
}

TEST_CASE_FIXTURE(Window, "every PngSuite file opens; only those without a header get the box")
{
    const std::vector<std::filesystem::path> files = pngSuiteFiles();
    if (files.empty()) {
        MESSAGE("PngSuite is not beside this checkout");
        return;
    }
    for (const std::filesystem::path &file : files) {
        const std::string sName = file.filename().string();
        INFO(sName);
        const bool bHeader = std::find(std::begin(PNGSUITE_WITHOUT_HEADER), std::end(PNGSUITE_WITHOUT_HEADER), sName)
                             == std::end(PNGSUITE_WITHOUT_HEADER);
        driver.boxes.clear();
        drop({file.wstring()});
        REQUIRE(driver.boxes.size() == (bHeader ? 0u : 1u));
        if (!bHeader)
            CHECK(driver.boxes[0].sText == NO_HEADER_BOX);
        // Only the well-formed files have a picture to show.
        if (sName[0] != 'x')
            CHECK(pictureSize().cx > 0);
    }
}

TEST_CASE_FIXTURE(Window, "a file deleted after opening")
{
    TempDir dir;
    const std::u16string sPath = dir.write("gone.png", goodVoucher());
    open(sPath);
    std::filesystem::remove(std::filesystem::path(sPath));
    click(ID_CHECK_VOUCHER);
    REQUIRE(driver.boxes.size() == 1);
    CHECK(driver.boxes[0].sCaption == L"提示");
    CHECK(driver.boxes[0].sText == L"指定票据文件不存在！");
    CHECK(driver.boxes[0].sIcon == IDI_WARNING);
    CHECK(text(ID_CHECK_RESULT) == AT_REST);
}

TEST_CASE_FIXTURE(Window, "the file name is shown as it is")
{
    TempDir dir;
    open(dir.write("a&b  &&c.png", goodVoucher()));
    click(ID_CHECK_VOUCHER);
    CHECK(text(ID_CHECK_RESULT) == passedText(L"a&b  &&c.png"));
}

TEST_CASE_FIXTURE(Window, "the label cuts a long verdict; its tool tip holds the whole")
{
    // A long name without a space, as issuers name their vouchers.
    const std::wstring sName = L"北京市非税收入统一票据（电子）_11010124_0000318766.png";
    TempDir dir;
    open(dir.write(utf8(utf16(sName)), goodVoucher()));
    click(ID_CHECK_VOUCHER);
    const HWND hLabel = (*this)[ID_CHECK_RESULT];
    // The text is whole in the label, but more lines than its height holds.
    RECT r = {0, 0, 236, 0};
    const HDC dc = GetDC(hLabel);
    const HGDIOBJ hOld = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(hLabel, WM_GETFONT, 0, 0)));
    DrawTextW(dc, text(ID_CHECK_RESULT).c_str(), -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, hOld);
    ReleaseDC(hLabel, dc);
    CHECK(r.bottom > 34);

    wchar_t sTip[512] = {};
    TTTOOLINFOW tool = {sizeof tool};
    tool.hwnd = form.handle();
    tool.uId = reinterpret_cast<UINT_PTR>(hLabel);
    tool.lpszText = sTip;
    const HWND hTip = toolTipOf(form.handle());
    SendMessageW(hTip, TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&tool));
    CHECK(withoutBreaks(sTip) == passedText(sName));
    // Every line of the tip fits its width, so that the tip stays on the screen.
    const int iMaxWidth = int(SendMessageW(hTip, TTM_GETMAXTIPWIDTH, 0, 0));
    const std::vector<std::wstring> lines = linesOf(sTip);
    CHECK(lines.size() > 1);
    for (const std::wstring &sLine : lines)
        CHECK(widthIn(hTip, sLine) <= iMaxWidth);
}

TEST_CASE_FIXTURE(Window, "dropping one file opens it; dropping several does nothing")
{
    TempDir dir;
    const std::u16string sGood = dir.write("good.png", goodVoucher());
    const std::u16string sOther = dir.write("other.png", goodVoucher());
    drop({wide(sGood), wide(sOther)});
    click(ID_CHECK_VOUCHER);
    REQUIRE(driver.boxes.size() == 1);
    CHECK(driver.boxes[0].sText == L"请先打开票据文件！");

    drop({wide(sGood)});
    CHECK(pictureSize().cx == IMAGE_WIDTH);
    click(ID_CHECK_VOUCHER);
    CHECK(text(ID_CHECK_RESULT) == passedText(L"good.png"));
    CHECK(driver.dialogs.empty());
}

TEST_CASE_FIXTURE(Window, "the close button ends the program with 0")
{
    const HWND hwnd = form.handle();
    click(ID_CLOSE);
    CHECK_FALSE(IsWindow(hwnd));
    MSG msg;
    REQUIRE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    CHECK(msg.wParam == 0);
    CHECK(driver.boxes.empty());
}

TEST_CASE_FIXTURE(Window, "Tab goes through the buttons, the tabs and the shown page's text box")
{
    const ControlId order[] = {ID_OPEN_FILE, ID_CHECK_VOUCHER, ID_CLOSE, ID_PAGE_CONTROL1, ID_CZQM, ID_OPEN_FILE};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        INFO("after control ", int(order[i]));
        CHECK(form.nextTabStop((*this)[order[i]], false) == (*this)[order[i + 1]]);
        CHECK(form.nextTabStop((*this)[order[i + 1]], true) == (*this)[order[i]]);
    }
    turnToSecondPage(*this);
    CHECK(form.nextTabStop((*this)[ID_PAGE_CONTROL1], false) == (*this)[ID_DWQM]);
    CHECK(form.nextTabStop((*this)[ID_DWQM], false) == (*this)[ID_OPEN_FILE]);
}

TEST_CASE_FIXTURE(Window, "the focus starts on the first button and comes back after a box")
{
    CHECK(GetFocus() == (*this)[ID_OPEN_FILE]);
    SetFocus((*this)[ID_CHECK_VOUCHER]);
    click(ID_CHECK_VOUCHER);
    REQUIRE(driver.boxes.size() == 1);
    CHECK(GetFocus() == (*this)[ID_CHECK_VOUCHER]);
}

TEST_CASE_FIXTURE(Window, "Enter and Space press the focused button")
{
    for (const WPARAM iKey : {WPARAM(VK_RETURN), WPARAM(VK_SPACE)}) {
        INFO("key ", int(iKey));
        driver.boxes.clear();
        SetFocus((*this)[ID_CHECK_VOUCHER]);
        REQUIRE(GetFocus() == (*this)[ID_CHECK_VOUCHER]);
        PostMessageW((*this)[ID_CHECK_VOUCHER], WM_KEYDOWN, iKey, 1);
        PostMessageW((*this)[ID_CHECK_VOUCHER], WM_KEYUP, iKey, 0xC0000001);
        // The program's own loop: keys go through the window's dialog handling.
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!form.isDialogMessage(&msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        REQUIRE(driver.boxes.size() == 1);
        CHECK(driver.boxes[0].sText == L"请先打开票据文件！");
    }
}

TEST_CASE_FIXTURE(Window, "a voucher another program holds: readers share it, a writer keeps it from being read")
{
    struct Row {
        const char *sName;
        DWORD iAccess, iShare;
        std::wstring sOpenBox, sCheckBox;
    };
    const Row rows[] = {
        {"a viewer reading it", GENERIC_READ, FILE_SHARE_READ, L"", L"校验通过！"},
        {"a viewer reading it, sharing it with everyone", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
         L"", L"校验通过！"},
        {"a program writing it", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
         L"图片加载失败，错误信息：票据文件正被其他程序使用。", L"票据文件正被其他程序使用，无法校验！"},
    };
    for (const Row &row : rows) {
        INFO(row.sName);
        TempDir dir;
        const std::u16string sPath = dir.write("held.png", goodVoucher());
        // A verdict shown before must not stay beside a file that could not be read.
        open(sPath);
        click(ID_CHECK_VOUCHER);
        driver.boxes.clear();
        const HeldFile held(sPath, row.iAccess, row.iShare);
        open(sPath);
        if (row.sOpenBox.empty()) {
            CHECK(driver.boxes.empty());
            CHECK(pictureSize().cx == IMAGE_WIDTH);
        } else {
            REQUIRE(driver.boxes.size() == 1);
            CHECK(driver.boxes[0].sText == row.sOpenBox);
            CHECK(driver.boxes[0].sCaption == L"出错啦");
            CHECK(driver.boxes[0].sIcon == IDI_ERROR);
            CHECK(pictureSize().cx == 0);
        }
        driver.boxes.clear();
        click(ID_CHECK_VOUCHER);
        REQUIRE(driver.boxes.size() == 1);
        CHECK(driver.boxes[0].sText == row.sCheckBox);
        if (row.sOpenBox.empty()) {
            CHECK(text(ID_CHECK_RESULT) == passedText(L"held.png"));
        } else {
            CHECK(driver.boxes[0].sCaption == L"提示");
            CHECK(driver.boxes[0].sIcon == IDI_WARNING);
            CHECK(driver.boxes[0].hOwner == form.handle());
            CHECK(text(ID_CHECK_RESULT) == AT_REST);
            CHECK(text(ID_CZQM).empty());
        }
    }
}

TEST_CASE_FIXTURE(Window, "a folder is no voucher file: said so, not judged")
{
    TempDir dir;
    driver.boxes.clear();
    drop({dir.path().wstring()});
    REQUIRE(driver.boxes.size() == 1);
    CHECK(driver.boxes[0].sText == L"图片加载失败，错误信息：所选的不是文件。");
    click(ID_CHECK_VOUCHER);
    REQUIRE(driver.boxes.size() == 2);
    CHECK(driver.boxes[1].sText == L"指定票据文件不存在！");
    CHECK(text(ID_CHECK_RESULT) == AT_REST);
}

TEST_CASE_FIXTURE(Window, "a file replaced after opening: the picture shown is the one checked")
{
    const std::string otherTampered = otherVoucher(IMAGE_SEAL_U);
    struct Row {
        const char *sName;
        std::string opened, replacement;
        int iCheckedSize;
        bool bIntact;
        std::wstring sCzqm;
    };
    const Row rows[] = {
        {"intact, then another picture with a wrong seal", goodVoucher(), otherTampered, OTHER_IMAGE_SIZE, false, L""},
        {"tampered, then another picture, intact", otherTampered, goodVoucher(), IMAGE_WIDTH, true, L"CZ-SIG"},
        {"intact, then another intact picture", goodVoucher(), otherVoucher(), OTHER_IMAGE_SIZE, true, L"CZ-2"},
        {"intact, then no picture at all", goodVoucher(), "just some text, no picture", 0, false, L""},
    };
    for (const Row &row : rows) {
        INFO(row.sName);
        TempDir dir;
        const std::u16string sPath = dir.write("replaced.png", row.opened);
        open(sPath);
        // Replaced as a download or a copy replaces it: a new file under the old name.
        const std::u16string sNew = dir.write("new.png", row.replacement);
        REQUIRE(MoveFileExW(wide(sNew).c_str(), wide(sPath).c_str(), MOVEFILE_REPLACE_EXISTING));
        driver.boxes.clear();
        click(ID_CHECK_VOUCHER);
        REQUIRE(driver.boxes.size() == 1); // the verdict's, nothing more
        CHECK(pictureSize().cx == row.iCheckedSize);
        CHECK(text(ID_CHECK_RESULT) == (row.bIntact ? passedText(L"replaced.png") : failedText(L"replaced.png")));
        CHECK(text(ID_CZQM) == row.sCzqm);
    }
}

TEST_CASE_FIXTURE(Window, "Esc in a signature box leaves the page, the box and the focus where they are")
{
    TempDir dir;
    open(dir.write("good.png", goodVoucher()));
    click(ID_CHECK_VOUCHER);
    for (const int iPage : {0, 1}) {
        INFO("page ", iPage);
        if (iPage == 1)
            turnToSecondPage(*this);
        const ControlId page = iPage == 0 ? ID_TAB_SHEET1 : ID_TAB_SHEET2;
        const ControlId memo = iPage == 0 ? ID_CZQM : ID_DWQM;
        const HWND hPage = (*this)[page], hMemo = (*this)[memo];
        SetFocus(hMemo);
        REQUIRE(GetFocus() == hMemo);
        PostMessageW(hMemo, WM_KEYDOWN, VK_ESCAPE, 1);
        PostMessageW(hMemo, WM_CHAR, VK_ESCAPE, 1);
        PostMessageW(hMemo, WM_KEYUP, VK_ESCAPE, 0xC0000001);
        runLoop(*this);
        pump();
        CHECK(IsWindow(form.handle()));
        CHECK(IsWindow(hPage));
        CHECK(IsWindowVisible(hMemo));
        CHECK(GetFocus() == hMemo);
        CHECK_FALSE(text(memo).empty());
    }
    CHECK(driver.boxes.size() == 1);
}
