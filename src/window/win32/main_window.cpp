#include "window/win32/main_window.h"

#include <windowsx.h>

#include "base/error.h"
#include "convert/locale_formats.h"
#include "window/win32/error_presenter.h"
#include "base/wide_text_win.h"

namespace kadrum {
namespace {

constexpr wchar_t kClassName[] = L"TForm9";
// Control ids start above IDOK and IDCANCEL, which dialog navigation sends
// for Enter and Escape: no button is the default or the cancel button.
constexpr int kFirstId = 100;

enum class Kind { label, edit, button, list, check };

struct Design {
  Kind kind;
  const wchar_t* text;
  int left, top, width, height;
};

// Creation order, which is also drawing order; positions in pixels at 96 dpi.
constexpr Design kDesign[] = {
    {Kind::label, L"headlines:", 248, 22, 49, 13},
    {Kind::label, L"single item with year and day        or        list of max 3 items:",
     24, 49, 288, 13},
    {Kind::label, L"data base file", 24, 129, 65, 13},
    {Kind::label, L"table name", 24, 172, 53, 13},
    {Kind::label, L"txt filename", 24, 3, 57, 13},
    {Kind::edit, L"tabname", 48, 191, 121, 21},
    {Kind::edit, L"itmnr", 48, 68, 119, 21},
    {Kind::button, L"go", 48, 272, 121, 25},
    {Kind::button, L"db connect", 48, 241, 121, 25},
    {Kind::edit, L"dbname", 47, 148, 298, 21},
    {Kind::edit, L"imprtfile", 47, 19, 121, 21},
    {Kind::button, L"exit", 48, 303, 121, 25},
    {Kind::edit, L"1", 311, 19, 26, 21},
    {Kind::list, L"", 218, 68, 119, 65},
    {Kind::check, L"recreate table", 48, 218, 97, 17},
};

// The wait cursor while an action runs: the window takes no input then, and
// the cursor tells the user it is working.
class BusyCursor {
 public:
  BusyCursor() : previous_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
  ~BusyCursor() { SetCursor(previous_); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  HCURSOR previous_;
};

std::wstring window_text(HWND control) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

GdiObject brush(COLORREF colour) { return GdiObject(CreateSolidBrush(colour)); }

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

MainWindow::MainWindow(HINSTANCE instance, std::vector<std::string> arguments,
                       std::string& dbpath, const ErrorPresenter& presenter,
                       const Theme& theme)
    : presenter_(presenter),
      theme_(theme),
      instance_(instance),
      form_(*this, std::move(arguments), dbpath) {
  const HDC screen = GetDC(nullptr);
  dpi_ = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  taskbar_created_ = RegisterWindowMessageW(L"TaskbarCreated");
  face_brush_ = brush(theme_.face);
  base_brush_ = brush(theme_.base);
  button_brush_ = brush(theme_.button_face);

  const HICON icon = static_cast<HICON>(LoadImageW(
      instance, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
      GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
  const HICON small_icon = static_cast<HICON>(LoadImageW(
      instance, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
      GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = instance;
  window_class.hIcon = icon;
  window_class.hIconSm = small_icon;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = theme_.applied ? static_cast<HBRUSH>(face_brush_.get())
                                              : GetSysColorBrush(COLOR_BTNFACE);
  window_class.lpszClassName = kClassName;
  if (RegisterClassExW(&window_class) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    throw Error("Das Fenster kann nicht angelegt werden");

  // A sizeable frame with the system menu and both boxes, around a client
  // area of the designed size; its own task-bar button; the platform places it.
  constexpr DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  constexpr DWORD ex_style = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
  RECT outer{0, 0, scaled(361), scaled(348)};
  AdjustWindowRectEx(&outer, style, FALSE, ex_style);
  window_ = CreateWindowExW(ex_style, kClassName, L"Kadrum", style, CW_USEDEFAULT, CW_USEDEFAULT,
                            outer.right - outer.left, outer.bottom - outer.top, nullptr,
                            nullptr, instance, this);
  if (window_ == nullptr) throw Error("Das Fenster kann nicht angelegt werden");
  create_controls();
  form_.on_create();
}

MainWindow::~MainWindow() {
  if (window_ != nullptr) DestroyWindow(window_);
}

int MainWindow::scaled(int pixels) const { return MulDiv(pixels, dpi_, 96); }

void MainWindow::create_controls() {
  // Tahoma, regular, 11 pixels character height: a negative height asks for
  // the character height rather than the cell's.
  font_ = GdiObject(CreateFontW(-scaled(11), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma"));
  const HDC dc = GetDC(window_);
  const HGDIOBJ old_font = SelectObject(dc, font_.get());
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  const int line = static_cast<int>(metrics.tmHeight);
  for (int i = 0; i < kControls; ++i) {
    const Design& design = kDesign[i];
    const wchar_t* class_name = L"STATIC";
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD ex_style = 0;
    int left = scaled(design.left), top = scaled(design.top);
    int width = scaled(design.width), height = scaled(design.height);
    switch (design.kind) {
      case Kind::label: {
        style |= SS_LEFTNOWORDWRAP | SS_NOPREFIX;
        // Labels are as wide as their text in Tahoma; a substitute font may
        // need more room, and a clipped caption helps nobody. A scaled font
        // may be drawn a little wider than it measures: the room to spare
        // is free, as no label has a control close to its right.
        SIZE extent{};
        GetTextExtentPoint32W(dc, design.text, static_cast<int>(wcslen(design.text)), &extent);
        const int needed = extent.cx + extent.cx / 16 + scaled(2);
        if (needed > width) width = needed;
        break;
      }
      case Kind::edit:
        class_name = L"EDIT";
        style |= WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT;
        // A themed field is painted by the window: a one-pixel frame and
        // the field's colour, with the edit control one line high in its
        // middle, as the text stands in a field of the Linux window. The
        // standard ones keep the sunken edge.
        if (theme_.applied) {
          frames_[static_cast<std::size_t>(i)] = {left, top, left + width, top + height};
          left += 3, width -= 6;
          top += (height - line) / 2, height = line;
        } else {
          ex_style |= WS_EX_CLIENTEDGE;
        }
        break;
      case Kind::button:
        class_name = L"BUTTON";
        style |= WS_TABSTOP | (theme_.applied ? BS_OWNERDRAW : BS_PUSHBUTTON);
        break;
      case Kind::list:
        class_name = L"LISTBOX";
        style |= WS_TABSTOP | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY;
        if (theme_.applied) {
          style |= LBS_OWNERDRAWFIXED | LBS_HASSTRINGS;
          frames_[static_cast<std::size_t>(i)] = {left, top, left + width, top + height};
          left += 1, top += 1, width -= 2, height -= 2;
        } else {
          ex_style |= WS_EX_CLIENTEDGE;
        }
        break;
      case Kind::check:
        class_name = L"BUTTON";
        style |= WS_TABSTOP | BS_AUTOCHECKBOX;
        break;
    }
    const HWND control = CreateWindowExW(
        ex_style, class_name, design.text, style, left, top, width, height, window_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstId + i)), instance_, nullptr);
    if (control == nullptr) {
      SelectObject(dc, old_font);
      ReleaseDC(window_, dc);
      throw Error("Das Fenster kann nicht angelegt werden");
    }
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    controls_[static_cast<std::size_t>(i)] = control;
  }
  SelectObject(dc, old_font);
  ReleaseDC(window_, dc);

  // Settings are texts of any length; the list shows entries 13 pixels high.
  for (const Field name : {Field::imprtfile, Field::nhdl, Field::itmnr, Field::dbname, Field::tabname})
    SendMessageW(field(name), EM_SETLIMITTEXT, 0, 0);
  SendMessageW(controls_[itemlist], LB_SETITEMHEIGHT, 0, scaled(13));

  // Tab moves in the order of the child windows: the tab chain goes last, in
  // its order, behind the labels (nothing overlaps, so nothing is drawn over).
  for (const Control control : {tabname, itmnr, Button1, Button2, dbname, imprtfile, Button3,
                                nhdl, itemlist, CheckBox1})
    SetWindowPos(controls_[control], HWND_BOTTOM, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  focus_ = controls_[tabname];
}

void MainWindow::show(int show_command) {
  form_.before_showing([this](const std::function<void()>& action) { perform(action); });
  ShowWindow(window_, show_command);
  UpdateWindow(window_);
  if (form_.close_after_showing()) PostMessageW(window_, WM_CLOSE, 0, 0);
}

HWND MainWindow::owner() const {
  return window_ != nullptr && IsWindowVisible(window_) ? window_ : nullptr;
}

void MainWindow::perform(const std::function<void()>& action) {
  try {
    const BusyCursor busy;  // gone again before an error box opens
    action();
  } catch (const std::exception& error) {
    presenter_.show_error(error, owner());
  }
}

LRESULT CALLBACK MainWindow::procedure(HWND window, UINT message, WPARAM wparam,
                                       LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->window_ = window;
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  // An exception must not unwind through the system's frames: whatever
  // escapes a handler is shown here, and the message loop goes on.
  try {
    return self->handle(message, wparam, lparam);
  } catch (const std::exception& error) {
    self->presenter_.show_error(error, self->owner());
  } catch (...) {
    // Not one of Kadrum's errors and without a message: an empty box.
    self->presenter_.show_error(Error(""), self->owner());
  }
  return 0;
}

LRESULT MainWindow::handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_LBUTTONDOWN: {
      // A click on a field's margin, outside its edit control, still
      // focuses the field.
      const POINT point{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
      for (int i = 0; i < kControls; ++i)
        if (PtInRect(&frames_[static_cast<std::size_t>(i)], point))
          SetFocus(controls_[static_cast<std::size_t>(i)]);
      return 0;
    }
    case WM_COMMAND:
      command(LOWORD(wparam), HIWORD(wparam));
      return 0;
    case WM_ACTIVATE:
      // The focus goes to tabname the first time, later back where it was.
      if (LOWORD(wparam) == WA_INACTIVE) {
        if (const HWND focus = GetFocus(); focus != nullptr && IsChild(window_, focus))
          focus_ = focus;
      } else if (HIWORD(wparam) == 0 && focus_ != nullptr) {
        SetFocus(focus_);
        return 0;
      }
      break;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
      if (!theme_.applied) break;
      SetTextColor(reinterpret_cast<HDC>(wparam), theme_.base_text);
      SetBkColor(reinterpret_cast<HDC>(wparam), theme_.base);
      return reinterpret_cast<LRESULT>(base_brush_.get());
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      if (!theme_.applied) break;
      SetTextColor(reinterpret_cast<HDC>(wparam), theme_.text);
      SetBkColor(reinterpret_cast<HDC>(wparam), theme_.face);
      return reinterpret_cast<LRESULT>(face_brush_.get());
    case WM_MEASUREITEM:
      reinterpret_cast<MEASUREITEMSTRUCT*>(lparam)->itemHeight = static_cast<UINT>(scaled(13));
      return TRUE;
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      if (item.CtlType == ODT_BUTTON) draw_button(item);
      if (item.CtlType == ODT_LISTBOX) draw_entry(item);
      return TRUE;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      const HDC dc = BeginPaint(window_, &paint);
      if (theme_.applied) paint_frames(dc);
      EndPaint(window_, &paint);
      return 0;
    }
    case WM_SETTINGCHANGE:
      settings_changed();
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
      window_ = nullptr;
      controls_.fill(nullptr);
      return 0;
    default:
      // A new task bar: the user may have logged on again with other settings.
      if (message == taskbar_created_ && message != 0) settings_changed();
      break;
  }
  return DefWindowProcW(window_, message, wparam, lparam);
}

void MainWindow::settings_changed() {
  // The user may have changed the decimal symbol in the regional settings:
  // the thread takes the user's locale again, and the formats are read anew.
  SetThreadLocale(GetUserDefaultLCID());
  reload_locale_formats();
}

void MainWindow::command(int id, int code) {
  const int index = id - kFirstId;
  if (index < 0 || index >= kControls) return;  // IDOK, IDCANCEL: no such buttons
  switch (index) {
    case Button1:
      if (code == BN_CLICKED) perform([this] { form_.on_go(); });
      break;
    case Button2:
      if (code == BN_CLICKED) perform([this] { form_.on_connect(); });
      break;
    case Button3:
      if (code == BN_CLICKED) perform([this] { form_.on_exit(); });
      break;
    default:
      // The painted frame of a field shows where the focus is.
      if (theme_.applied && (code == EN_SETFOCUS || code == EN_KILLFOCUS ||
                             (index == itemlist && (code == LBN_SETFOCUS || code == LBN_KILLFOCUS)))) {
        InvalidateRect(window_, &frames_[static_cast<std::size_t>(index)], FALSE);
      }
      break;
  }
}

// The themed fields and the list: a frame one pixel wide, dark above and
// left, light below and right, in the focus colour all round while the
// control has the focus; inside it the fields' colour.
void MainWindow::paint_frames(HDC dc) {
  const HWND focus = GetFocus();
  for (const Control control : {tabname, itmnr, dbname, imprtfile, nhdl, itemlist}) {
    RECT rect = frames_[control];
    if (controls_[control] == focus)
      frame(dc, rect, 1, theme_.focus, theme_.focus);
    else
      frame(dc, rect, 1, theme_.dark, theme_.light);
    InflateRect(&rect, -1, -1);
    fill(dc, rect, theme_.base);
  }
}

// A themed push button: the face, a two-pixel raised edge (sunken while
// pressed), the focus colour as its edge while it has the focus, the caption
// centred and without access key.
void MainWindow::draw_button(const DRAWITEMSTRUCT& item) {
  const HDC dc = item.hDC;
  RECT rect = item.rcItem;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  const bool focused = (item.itemState & ODS_FOCUS) != 0;
  fill(dc, rect, theme_.button_face);
  if (focused && !pressed) {
    frame(dc, rect, 2, theme_.focus, theme_.focus);
  } else if (pressed) {
    frame(dc, rect, 1, theme_.dark, theme_.light);
    InflateRect(&rect, -1, -1);
    frame(dc, rect, 1, theme_.shadow, theme_.button_face);
    rect = item.rcItem;
    OffsetRect(&rect, 1, 1);
  } else {
    frame(dc, rect, 1, theme_.light, theme_.shadow);
    InflateRect(&rect, -1, -1);
    frame(dc, rect, 1, theme_.button_face, theme_.dark);
    rect = item.rcItem;
  }
  const std::wstring caption = window_text(item.hwndItem);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, (item.itemState & ODS_DISABLED) != 0 ? theme_.dark : theme_.button_text);
  DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &rect,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

// A themed list entry: the selected one in the highlight colours.
void MainWindow::draw_entry(const DRAWITEMSTRUCT& item) {
  if (item.itemID == static_cast<UINT>(-1)) return;
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  fill(item.hDC, item.rcItem, selected ? theme_.highlight : theme_.base);
  const auto length = SendMessageW(item.hwndItem, LB_GETTEXTLEN, item.itemID, 0);
  if (length < 0) return;
  std::wstring entry(static_cast<std::size_t>(length) + 1, L'\0');
  SendMessageW(item.hwndItem, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(entry.data()));
  entry.resize(static_cast<std::size_t>(length));
  RECT rect = item.rcItem;
  rect.left += 2;
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, selected ? theme_.highlighted_text : theme_.base_text);
  DrawTextW(item.hDC, entry.c_str(), static_cast<int>(entry.size()), &rect,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

HWND MainWindow::field(Field field) const {
  switch (field) {
    case Field::imprtfile: return controls_[imprtfile];
    case Field::nhdl: return controls_[nhdl];
    case Field::itmnr: return controls_[itmnr];
    case Field::dbname: return controls_[dbname];
    case Field::tabname: return controls_[tabname];
  }
  return nullptr;
}

std::string MainWindow::text(Field name) const { return from_wide(window_text(field(name))); }

void MainWindow::set_text(Field name, const std::string& text) {
  const HWND edit = field(name);
  SetWindowTextW(edit, to_wide(text).c_str());
  // A long path shows its beginning.
  SendMessageW(edit, EM_SETSEL, 0, 0);
  SendMessageW(edit, EM_SCROLLCARET, 0, 0);
}

std::vector<std::string> MainWindow::item_list() const {
  const HWND list = controls_[itemlist];
  std::vector<std::string> entries;
  const auto count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const auto length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    std::wstring entry(static_cast<std::size_t>(length < 0 ? 0 : length) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(entry.data()));
    entry.resize(static_cast<std::size_t>(length < 0 ? 0 : length));
    entries.push_back(from_wide(entry));
  }
  return entries;
}

void MainWindow::set_item_list(const std::vector<std::string>& entries) {
  const HWND list = controls_[itemlist];
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  for (const std::string& entry : entries)
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(to_wide(entry).c_str()));
}

bool MainWindow::recreate_checked() const {
  return SendMessageW(controls_[CheckBox1], BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void MainWindow::set_recreate_checked(bool checked) {
  SendMessageW(controls_[CheckBox1], BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void MainWindow::close_window() {
  if (window_ != nullptr) DestroyWindow(window_);
}

}  // namespace kadrum
