// The visual theme "Slate Classico" for the Win32 window, carried in the
// program's resources (resource type THEME, named after the theme), and the
// parts of the window that are painted in its colours.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "window/theme.h"

namespace kadrum {

class ErrorPresenter;

// The colours the window and its controls are painted with. Without a theme
// they are the system's, and the controls draw themselves as usual.
struct Theme {
  bool applied = false;
  COLORREF face = GetSysColor(COLOR_BTNFACE);          // window and buttons
  COLORREF text = GetSysColor(COLOR_WINDOWTEXT);       // labels, check box
  COLORREF base = GetSysColor(COLOR_WINDOW);           // edit fields, list box
  COLORREF base_text = GetSysColor(COLOR_WINDOWTEXT);
  COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);   // the selected entry
  COLORREF highlighted_text = GetSysColor(COLOR_HIGHLIGHTTEXT);
  COLORREF button_face = GetSysColor(COLOR_BTNFACE);
  COLORREF button_text = GetSysColor(COLOR_BTNTEXT);
  COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);    // raised edges
  COLORREF dark = GetSysColor(COLOR_BTNSHADOW);        // sunken edges
  COLORREF shadow = GetSysColor(COLOR_3DDKSHADOW);
  COLORREF focus = GetSysColor(COLOR_HIGHLIGHT);       // the focused control's frame
};

// The palette text of the theme called "name" (compared without regard to
// case) among the program's THEME resources; none when there is none.
std::optional<std::string> find_theme(std::string_view name);

// The theme "name" for the window. When it cannot be found, shows the
// "Fehler" box through "presenter" and gives the system's look. Call before
// the window exists.
Theme apply_theme(std::string_view name, const ErrorPresenter& presenter);

// A themed field's or the list's frame, "rect": one pixel wide, dark above
// and left, light below and right, in the focus colour all round while the
// control is "focused"; inside it the fields' colour.
void paint_field_frame(HDC dc, RECT rect, bool focused, const Theme& theme);

// An owner-drawn push button: the face, a two-pixel raised edge (sunken
// while pressed), the focus colour as its edge while it has the focus,
// "caption" centred and without access key.
void draw_button(const DRAWITEMSTRUCT& item, std::wstring_view caption, const Theme& theme);

// An owner-drawn list entry: the selected one in the highlight colours.
void draw_list_entry(const DRAWITEMSTRUCT& item, const Theme& theme);

}  // namespace kadrum
