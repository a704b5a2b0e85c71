#pragma once
// The window's own kinds of control, where the system has none: a panel with a
// raised bevel, a splitter that drags a hatched line, and an image box that
// stretches its picture to the whole box.

#include <windows.h>

namespace lumbrik {

inline constexpr wchar_t PANEL_CLASS[] = L"TPanel";
inline constexpr wchar_t SPLITTER_CLASS[] = L"TSplitter";
inline constexpr wchar_t IMAGE_CLASS[] = L"TImage";

// Sent by the splitter to its parent while it is dragged: wParam is the
// right-hand pane's wanted width; the answer is the width it may have.
inline constexpr UINT LM_LEGAL_PANE_WIDTH = WM_APP + 1;
// Sent by the splitter to its parent when the drag ends: wParam is the new width.
inline constexpr UINT LM_SET_PANE_WIDTH = WM_APP + 2;

// What a panel is made with (CreateWindowEx's last argument).
struct PanelStyle {
    int iColour;  // a system colour index: COLOR_WINDOW or COLOR_BTNFACE
    bool bBevel;  // a raised one-pixel bevel around it
};

// Registers the three classes once per process.
void registerControlClasses(HINSTANCE hInstance);

} // namespace lumbrik
