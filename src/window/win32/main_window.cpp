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
  RECT outer{0, 0, scaled(kClientWidth), scaled(kClientHeight)};
  AdjustWindowRectEx(&outer, style, FALSE, ex_style);
  window_ = CreateWindowExW(ex_style, kClassName, to_wide(kWindowCaption).c_str(), style,
                            CW_USEDEFAULT, CW_USEDEFAULT, outer.right - outer.left,
                            outer.bottom - outer.top, nullptr, nullptr, instance, this);
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
  for (std::size_t i = 0; i < kLayout.size(); ++i) {
    const ControlDesign& design = kLayout[i];
    const std::wstring caption = to_wide(design.caption);
    const wchar_t* class_name = L"STATIC";
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD ex_style = 0;
    int left = scaled(design.left), top = scaled(design.top);
    int width = scaled(design.width), height = scaled(design.height);
    switch (design.kind) {
      case ControlKind::label: {
        style |= SS_LEFTNOWORDWRAP | SS_NOPREFIX;
        // Labels are as wide as their text in Tahoma; a substitute font may
        // need more room, and a clipped caption helps nobody. A scaled font
        // may be drawn a little wider than it measures: the room to spare
        // is free, as no label has a control close to its right.
        SIZE extent{};
        GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
        const int needed = extent.cx + extent.cx / 16 + scaled(2);
        if (needed > width) width = needed;
        break;
      }
      case ControlKind::edit:
        class_name = L"EDIT";
        style |= WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT;
        // A themed field is painted by the window: a one-pixel frame and
        // the field's colour, with the edit control one line high in its
        // middle, as the text stands in a field of the Linux window. The
        // standard ones keep the sunken edge.
        if (theme_.applied) {
          frames_[i] = {left, top, left + width, top + height};
          left += 3, width -= 6;
          top += (height - line) / 2, height = line;
        } else {
          ex_style |= WS_EX_CLIENTEDGE;
        }
        break;
      case ControlKind::button:
        class_name = L"BUTTON";
        style |= WS_TABSTOP | (theme_.applied ? BS_OWNERDRAW : BS_PUSHBUTTON);
        break;
      case ControlKind::list:
        class_name = L"LISTBOX";
        style |= WS_TABSTOP | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY;
        if (theme_.applied) {
          style |= LBS_OWNERDRAWFIXED | LBS_HASSTRINGS;
          frames_[i] = {left, top, left + width, top + height};
          left += 1, top += 1, width -= 2, height -= 2;
        } else {
          ex_style |= WS_EX_CLIENTEDGE;
        }
        break;
      case ControlKind::check:
        class_name = L"BUTTON";
        style |= WS_TABSTOP | BS_AUTOCHECKBOX;
        break;
    }
    const HWND control = CreateWindowExW(
        ex_style, class_name, caption.c_str(), style, left, top, width, height, window_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstId + i)), instance_, nullptr);
    if (control == nullptr) {
      SelectObject(dc, old_font);
      ReleaseDC(window_, dc);
      throw Error("Das Fenster kann nicht angelegt werden");
    }
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    controls_[i] = control;
  }
  SelectObject(dc, old_font);
  ReleaseDC(window_, dc);

  // Settings are texts of any length; the list shows entries 13 pixels high.
  for (const Field name : {Field::imprtfile, Field::nhdl, Field::itmnr, Field::dbname, Field::tabname})
    SendMessageW(field(name), EM_SETLIMITTEXT, 0, 0);
  SendMessageW(controls_[control::itemlist], LB_SETITEMHEIGHT, 0, scaled(13));

  // Tab moves in the order of the child windows: the tab chain goes last, in
  // its order, behind the labels (nothing overlaps, so nothing is drawn over).
  for (const control::Id id : kTabChain)
    SetWindowPos(controls_[id], HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  focus_ = controls_[kTabChain.front()];
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
      for (std::size_t i = 0; i < control::count; ++i)
        if (PtInRect(&frames_[i], point)) SetFocus(controls_[i]);
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
      if (item.CtlType == ODT_BUTTON) draw_button(item, window_text(item.hwndItem), theme_);
      if (item.CtlType == ODT_LISTBOX) draw_list_entry(item, theme_);
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
  if (index < 0 || index >= int{control::count}) return;  // IDOK, IDCANCEL: no such buttons
  switch (index) {
    case control::Button1:
      if (code == BN_CLICKED) perform([this] { form_.on_go(); });
      break;
    case control::Button2:
      if (code == BN_CLICKED) perform([this] { form_.on_connect(); });
      break;
    case control::Button3:
      if (code == BN_CLICKED) perform([this] { form_.on_exit(); });
      break;
    default:
      // The painted frame of a field shows where the focus is.
      if (theme_.applied &&
          (code == EN_SETFOCUS || code == EN_KILLFOCUS ||
           (index == control::itemlist && (code == LBN_SETFOCUS || code == LBN_KILLFOCUS))))
        InvalidateRect(window_, &frames_[static_cast<std::size_t>(index)], FALSE);
      break;
  }
}

// The themed fields and the list, the controls with a frame of their own.
void MainWindow::paint_frames(HDC dc) {
  const HWND focus = GetFocus();
  for (std::size_t i = 0; i < control::count; ++i)
    if (!IsRectEmpty(&frames_[i])) paint_field_frame(dc, frames_[i], controls_[i] == focus, theme_);
}

HWND MainWindow::field(Field field) const { return controls_[control_of(field)]; }

std::string MainWindow::text(Field name) const { return from_wide(window_text(field(name))); }

void MainWindow::set_text(Field name, const std::string& text) {
  const HWND edit = field(name);
  SetWindowTextW(edit, to_wide(text).c_str());
  // A long path shows its beginning.
  SendMessageW(edit, EM_SETSEL, 0, 0);
  SendMessageW(edit, EM_SCROLLCARET, 0, 0);
}

std::vector<std::string> MainWindow::item_list() const {
  const HWND list = controls_[control::itemlist];
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
  const HWND list = controls_[control::itemlist];
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  for (const std::string& entry : entries)
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(to_wide(entry).c_str()));
}

bool MainWindow::recreate_checked() const {
  return SendMessageW(controls_[control::CheckBox1], BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void MainWindow::set_recreate_checked(bool checked) {
  SendMessageW(controls_[control::CheckBox1], BM_SETCHECK,
               checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void MainWindow::close_window() {
  if (window_ != nullptr) DestroyWindow(window_);
}

}  // namespace kadrum
