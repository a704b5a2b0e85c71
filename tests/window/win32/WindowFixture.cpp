#include "WindowFixture.h"

#include <shlobj.h>

namespace lumbrik::testing {

void pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) { // kept for whoever looks for it
            PostQuitMessage(int(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

std::wstring wide(const std::u16string &s)
{
    return {reinterpret_cast<const wchar_t *>(s.data()), s.size()};
}

RECT inParent(HWND h)
{
    RECT r;
    GetWindowRect(h, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(h), reinterpret_cast<POINT *>(&r), 2);
    return r;
}

Window::Window() : form(GetModuleHandleW(nullptr)), driver(form.control(ID_CHECK_RESULT))
{
    form.show(SW_SHOWNORMAL);
    pump();
}

Window::~Window()
{
    if (form.handle())
        DestroyWindow(form.handle());
    // Closing the window ends the program's loop: not the next test's.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        ;
}

void Window::click(ControlId id)
{
    SendMessageW(form.control(id), BM_CLICK, 0, 0);
    pump();
}

void Window::drop(const std::vector<std::wstring> &paths)
{
    std::wstring sList;
    for (const std::wstring &sPath : paths)
        sList += sPath + L'\0';
    sList += L'\0';
    const HGLOBAL hDrop = GlobalAlloc(GHND, sizeof(DROPFILES) + sList.size() * sizeof(wchar_t));
    auto *pFiles = static_cast<DROPFILES *>(GlobalLock(hDrop));
    pFiles->pFiles = sizeof(DROPFILES);
    pFiles->fWide = TRUE;
    std::copy(sList.begin(), sList.end(), reinterpret_cast<wchar_t *>(pFiles + 1));
    GlobalUnlock(hDrop);
    SendMessageW(form.handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(hDrop), 0); // the window frees it
    pump();
}

void Window::open(const std::u16string &sPath)
{
    driver.choose(wide(sPath));
    click(ID_OPEN_FILE);
}

SIZE Window::pictureSize() const
{
    const auto hPicture = reinterpret_cast<HBITMAP>(SendMessageW(form.control(ID_IMAGE1), STM_GETIMAGE, IMAGE_BITMAP, 0));
    BITMAP bm;
    if (!hPicture || !GetObjectW(hPicture, sizeof bm, &bm))
        return {0, 0};
    return {bm.bmWidth, bm.bmHeight};
}

} // namespace lumbrik::testing

doctest::String doctest::StringMaker<std::wstring>::convert(const std::wstring &s)
{
    return ("L\"" + lumbrik::fixtures::utf8({reinterpret_cast<const char16_t *>(s.data()), s.size()}) + "\"").c_str();
}
