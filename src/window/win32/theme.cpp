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

}  // namespace kadrum
