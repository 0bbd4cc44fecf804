#include "window/win32/error_presenter.h"

#include <string>

#include "base/wide_text_win.h"

namespace kadrum {
namespace {

// The caption for the OK button of the box about to open on this thread.
thread_local const std::wstring* g_button = nullptr;
thread_local HHOOK g_hook = nullptr;

// MessageBoxW offers no button of one's own: its OK button is renamed when
// the box is activated, before it is first drawn.
LRESULT CALLBACK rename_button(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_ACTIVATE && g_button != nullptr) {
    const HWND box = reinterpret_cast<HWND>(wparam);
    if (const HWND ok = GetDlgItem(box, IDOK)) SetWindowTextW(ok, g_button->c_str());
    g_button = nullptr;
  }
  return CallNextHookEx(g_hook, code, wparam, lparam);
}

}  // namespace

void ErrorPresenter::open(const MessageBoxRequest& request, HWND owner) const {
  const std::wstring title = to_wide(request.title);
  const std::wstring text = to_wide(request.text);
  const std::wstring button = to_wide(request.button);
  // Task-modal without an owner: every window of the program takes no input
  // while the box is open.
  UINT style = MB_OK | MB_ICONERROR | MB_SETFOREGROUND;
  if (owner == nullptr) style |= MB_TASKMODAL;
  if (!button.empty()) {
    g_button = &button;
    g_hook = SetWindowsHookExW(WH_CBT, rename_button, nullptr, GetCurrentThreadId());
  }
  MessageBoxW(owner, text.c_str(), title.c_str(), style);
  if (g_hook != nullptr) {
    UnhookWindowsHookEx(g_hook);
    g_hook = nullptr;
  }
  g_button = nullptr;
}

}  // namespace kadrum
