#include "window/error_display.h"

#include "base/error.h"

namespace kadrum {

MessageBoxRequest error_box(std::string_view title, const std::exception& error) {
  return {std::string(title), display_text(error), std::string()};
}

MessageBoxRequest theme_missing_box(std::string_view name) {
  return {"Fehler", fill_message("Stil '%s' nicht gefunden", {name}), "S&chließen"};
}

}  // namespace kadrum
