// Shows errors and start-up failures in the system's modal message box.
#pragma once

#include <windows.h>

#include "window/error_display.h"

namespace kadrum {

class ErrorPresenter final : public BasicErrorPresenter<HWND> {
 public:
  using BasicErrorPresenter::BasicErrorPresenter;

 private:
  // MessageBoxW with the error icon, modal to "owner", or to the whole
  // program and centred on the screen when "owner" is null. A button text of
  // its own replaces the OK button's caption.
  void open(const MessageBoxRequest& request, HWND owner) const override;
};

}  // namespace kadrum
