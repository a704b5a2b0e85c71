#pragma once
// Test-only: the real window, shown on the screen, with a driver that answers
// its boxes and dialogs, and the few ways a test reaches into it.

#include "Fixtures.h"
#include "ModalDriver.h"
#include "Unit1.h"

#include <doctest.h>

#include <string>

namespace lumbrik::testing {

// Handles whatever waits in this thread's queue.
void pump();
std::wstring wide(const std::u16string &s);
// h's rectangle in its parent's client coordinates.
RECT inParent(HWND h);

class Window
{
public:
    Window();
    ~Window();
    Window(const Window &) = delete;
    Window &operator=(const Window &) = delete;

    HWND operator[](ControlId id) const { return form.control(id); }
    std::wstring text(ControlId id) const { return textOf(form.control(id)); }
    // Presses the button as a click does.
    void click(ControlId id);
    // Drops the files onto the window, as the desktop does.
    void drop(const std::vector<std::wstring> &paths);
    // Chooses sPath in the open dialog.
    void open(const std::u16string &sPath);
    // The picture shown, or a zero size for none.
    SIZE pictureSize() const;

    TForm1 form;
    ModalDriver driver;
};

} // namespace lumbrik::testing

namespace doctest {
template <>
struct StringMaker<std::wstring> {
    static String convert(const std::wstring &s);
};
} // namespace doctest
