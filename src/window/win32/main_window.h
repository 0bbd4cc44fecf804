// MainWindow: Kadrum's one window as a native Win32 window. It lends its
// standard controls to the form, which holds the handlers, and binds its
// buttons to them.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "window/form.h"
#include "window/layout.h"
#include "window/win32/theme.h"

namespace kadrum {

class ErrorPresenter;

// A GDI object, deleted with the window that uses it.
struct GdiDeleter {
  void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using GdiObject = std::unique_ptr<std::remove_pointer_t<HGDIOBJ>, GdiDeleter>;

class MainWindow final : private FormControls {
 public:
  // Creates the window and its controls at their places (kLayout), scaled
  // for the screen's dots per inch, then runs on_create. Nothing is shown and
  // nothing is opened here. "dbpath", "presenter" and "theme" must outlive
  // the window.
  MainWindow(HINSTANCE instance, std::vector<std::string> arguments, std::string& dbpath,
             const ErrorPresenter& presenter, const Theme& theme);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // The first showing: on_show with the automatic run, then the window
  // appears as "show_command" (the start request's nCmdShow) asks.
  void show(int show_command);

  // Null once the window is destroyed.
  HWND handle() const { return window_; }

  Form& form() { return form_; }

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);
  void create_controls();
  // Runs "action" and shows its error; the one place where actions' errors
  // are caught.
  void perform(const std::function<void()>& action);
  void command(int id, int code);
  void settings_changed();
  void paint_frames(HDC dc);
  HWND owner() const;
  int scaled(int pixels) const;

  // FormControls
  std::string text(Field field) const override;
  void set_text(Field field, const std::string& text) override;
  std::vector<std::string> item_list() const override;
  void set_item_list(const std::vector<std::string>& entries) override;
  bool recreate_checked() const override;
  void set_recreate_checked(bool checked) override;
  void close_window() override;
  HWND field(Field field) const;

  const ErrorPresenter& presenter_;
  const Theme& theme_;
  HINSTANCE instance_;
  int dpi_ = 96;
  HWND window_ = nullptr;
  std::array<HWND, control::count> controls_{};  // in kLayout's order
  std::array<RECT, control::count> frames_{};  // themed fields: the painted frame
  HWND focus_ = nullptr;  // the control that had the focus when the window was left
  UINT taskbar_created_ = 0;
  GdiObject font_;
  GdiObject face_brush_;
  GdiObject base_brush_;
  GdiObject button_brush_;
  Form form_;
};

}  // namespace kadrum
