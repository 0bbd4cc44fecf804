// The message boxes of the window program, whatever toolkit shows them: the
// error display rule, the box for a missing theme, and the presenter that
// owns the program title.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <string_view>

namespace kadrum {

// One message box: caption, text and the single button (UTF-8). Every box of
// the program carries the error icon and shows its text as plain text.
struct MessageBoxRequest {
  std::string title;
  std::string text;
  std::string button;  // empty: the platform's OK button
};

// The error display rule: display_text("error") under "title", with OK.
MessageBoxRequest error_box(std::string_view title, const std::exception& error);

// The box shown when the theme "name" cannot be found: caption "Fehler",
// the button "S&chließen".
MessageBoxRequest theme_missing_box(std::string_view name);

// Owns the program title and the way boxes are shown; "Owner" is the
// toolkit's window handle, over which a box is modal. A toolkit derives from
// it and opens its real box. Tests set "hook" to record the boxes instead.
template <typename Owner>
class BasicErrorPresenter {
 public:
  explicit BasicErrorPresenter(std::string title) : title_(std::move(title)) {}
  BasicErrorPresenter(const BasicErrorPresenter&) = delete;
  BasicErrorPresenter& operator=(const BasicErrorPresenter&) = delete;

  const std::string& title() const { return title_; }

  // Shows "request": through the hook when one is set, else as a modal box
  // over "owner" (or centred on the screen), returning when it is closed.
  void show(const MessageBoxRequest& request, Owner owner = Owner()) const {
    if (hook) {
      hook(request);
      return;
    }
    open(request, owner);
  }

  // The error display rule under the program title.
  void show_error(const std::exception& error, Owner owner = Owner()) const {
    show(error_box(title_, error), owner);
  }

  std::function<void(const MessageBoxRequest&)> hook;

 protected:
  ~BasicErrorPresenter() = default;

 private:
  // Opens the real box and returns when it is closed.
  virtual void open(const MessageBoxRequest& request, Owner owner) const = 0;

  std::string title_;
};

}  // namespace kadrum
