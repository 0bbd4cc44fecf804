// kadrum.exe: the window program for Windows. Start-up, the main window's
// life and the exit status.
#include <windows.h>
#include <objbase.h>

#include <string>
#include <vector>

#include "import/argument_grammar.h"
#include "window/program_title.h"
#include "window/win32/error_presenter.h"
#include "window/win32/main_window.h"
#include "window/win32/theme.h"
#include "base/wide_text_win.h"

namespace {

// The path of the program's own file, however long.
std::wstring own_path() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

// The platform's component-object services for this thread, for the life of
// the program: database drivers may need them.
class ComServices {
 public:
  ComServices() : started_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComServices() {
    if (started_) CoUninitialize();
  }
  ComServices(const ComServices&) = delete;
  ComServices& operator=(const ComServices&) = delete;

 private:
  bool started_;
};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show_command) {
  const ComServices com;
  // The command line as one text, split by Kadrum's own rules (no escape
  // character), never by the C runtime's.
  const std::vector<std::string> arguments =
      kadrum::split_command_line(kadrum::from_wide(GetCommandLineW()));
  const kadrum::ErrorPresenter presenter(kadrum::program_title(kadrum::from_wide(own_path())));
  try {
    const kadrum::Theme theme = kadrum::apply_theme(kadrum::kThemeName, presenter);
    std::string dbpath;
    kadrum::MainWindow window(instance, arguments, dbpath, presenter, theme);
    window.show(show_command);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      // Tab and Shift+Tab move through the controls as in a dialog.
      if (window.handle() != nullptr && IsDialogMessageW(window.handle(), &message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  } catch (const std::exception& error) {
    // The window could not be made: nothing else to show it in.
    presenter.show_error(error);
    return 1;
  }
  // However the window was closed, the program ends well.
  return 0;
}
