#include "window/win32/theme.h"

#include "window/win32/error_presenter.h"
#include "base/wide_text_win.h"

namespace kadrum {
namespace {

struct Search {
  std::wstring name;
  std::string palette;
  bool found = false;
};

BOOL CALLBACK compare_name(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR data) {
  auto& search = *reinterpret_cast<Search*>(data);
  if (IS_INTRESOURCE(name)) return TRUE;
  if (CompareStringOrdinal(name, -1, search.name.c_str(), -1, TRUE) != CSTR_EQUAL) return TRUE;
  const HRSRC resource = FindResourceW(module, name, type);
  const HGLOBAL loaded = resource != nullptr ? LoadResource(module, resource) : nullptr;
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) return TRUE;
  search.palette.assign(static_cast<const char*>(bytes), SizeofResource(module, resource));
  search.found = true;
  return FALSE;
}

COLORREF colour(const std::vector<ThemeColour>& palette, const char* role, COLORREF fallback) {
  const std::uint32_t rgb = palette_colour(
      palette, role, GetRValue(fallback) << 16 | GetGValue(fallback) << 8 | GetBValue(fallback));
  return RGB(rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF);
}

void fill(HDC dc, const RECT& rect, COLORREF colour) {
  SetBkColor(dc, colour);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

// A frame "width" pixels wide inside "rect": top and left in "top_left", bottom and right in "bottom_right".
void frame(HDC dc, RECT rect, int width, COLORREF top_left, COLORREF bottom_right) {
  for (int i = 0; i < width; ++i) {
    fill(dc, {rect.left, rect.top, rect.right, rect.top + 1}, top_left);
    fill(dc, {rect.left, rect.top, rect.left + 1, rect.bottom}, top_left);
    fill(dc, {rect.left, rect.bottom - 1, rect.right, rect.bottom}, bottom_right);
    fill(dc, {rect.right - 1, rect.top, rect.right, rect.bottom}, bottom_right);
    InflateRect(&rect, -1, -1);
  }
}

}  // namespace

std::optional<std::string> find_theme(std::string_view name) {
  Search search{to_wide(name), {}, false};
  if (search.name.empty()) return std::nullopt;
  EnumResourceNamesW(nullptr, L"THEME", compare_name, reinterpret_cast<LONG_PTR>(&search));
  if (!search.found) return std::nullopt;
  return search.palette;
}

Theme apply_theme(std::string_view name, const ErrorPresenter& presenter) {
  Theme theme;
  const std::optional<std::string> text = find_theme(name);
  if (!text) {
    presenter.show(theme_missing_box(name));
    return theme;
  }
  // The roles of Qt's palette, so that both windows read the same file.
  const std::vector<ThemeColour> palette = read_palette(*text);
  theme.applied = true;
  theme.face = colour(palette, "Window", theme.face);
  theme.text = colour(palette, "WindowText", theme.text);
  theme.base = colour(palette, "Base", theme.base);
  theme.base_text = colour(palette, "Text", theme.base_text);
  theme.highlight = colour(palette, "Highlight", theme.highlight);
  theme.highlighted_text = colour(palette, "HighlightedText", theme.highlighted_text);
  theme.button_face = colour(palette, "Button", theme.button_face);
  theme.button_text = colour(palette, "ButtonText", theme.button_text);
  theme.light = colour(palette, "Light", theme.light);
  theme.dark = colour(palette, "Dark", theme.dark);
  theme.shadow = colour(palette, "Shadow", theme.shadow);
  theme.focus = colour(palette, "Highlight", theme.focus);
  return theme;
}

void paint_field_frame(HDC dc, RECT rect, bool focused, const Theme& theme) {
  if (focused)
    frame(dc, rect, 1, theme.focus, theme.focus);
  else
    frame(dc, rect, 1, theme.dark, theme.light);
  InflateRect(&rect, -1, -1);
  fill(dc, rect, theme.base);
}

void draw_button(const DRAWITEMSTRUCT& item, std::wstring_view caption, const Theme& theme) {
  const HDC dc = item.hDC;
  RECT rect = item.rcItem;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  const bool focused = (item.itemState & ODS_FOCUS) != 0;
  fill(dc, rect, theme.button_face);
  if (focused && !pressed) {
    frame(dc, rect, 2, theme.focus, theme.focus);
  } else if (pressed) {
    frame(dc, rect, 1, theme.dark, theme.light);
    InflateRect(&rect, -1, -1);
    frame(dc, rect, 1, theme.shadow, theme.button_face);
    rect = item.rcItem;
    OffsetRect(&rect, 1, 1);
  } else {
    frame(dc, rect, 1, theme.light, theme.shadow);
    InflateRect(&rect, -1, -1);
    frame(dc, rect, 1, theme.button_face, theme.dark);
    rect = item.rcItem;
  }
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, (item.itemState & ODS_DISABLED) != 0 ? theme.dark : theme.button_text);
  DrawTextW(dc, caption.data(), static_cast<int>(caption.size()), &rect,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

void draw_list_entry(const DRAWITEMSTRUCT& item, const Theme& theme) {
  if (item.itemID == static_cast<UINT>(-1)) return;
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  fill(item.hDC, item.rcItem, selected ? theme.highlight : theme.base);
  const auto length = SendMessageW(item.hwndItem, LB_GETTEXTLEN, item.itemID, 0);
  if (length < 0) return;
  std::wstring entry(static_cast<std::size_t>(length) + 1, L'\0');
  SendMessageW(item.hwndItem, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(entry.data()));
  entry.resize(static_cast<std::size_t>(length));
  RECT rect = item.rcItem;
  rect.left += 2;
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, selected ? theme.highlighted_text : theme.base_text);
  DrawTextW(item.hDC, entry.c_str(), static_cast<int>(entry.size()), &rect,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

}  // namespace kadrum
