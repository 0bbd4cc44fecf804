#include "base/provider_error.h"

namespace kadrum {

std::string trim_description(std::string_view description) {
  std::size_t end = description.size();
  while (end > 0) {
    const auto c = static_cast<unsigned char>(description[end - 1]);
    if (c > 0x20 && c != '.') break;
    --end;
  }
  return std::string(description.substr(0, end));
}

std::string described(std::string_view german, std::string_view engine_text) {
  std::string text(german);
  const std::string own = trim_description(engine_text);
  if (!own.empty()) text += " (" + own + ")";
  return text;
}

namespace {

std::string message_for(std::string_view description, std::string_view fallback) {
  std::string trimmed = trim_description(description);
  return trimmed.empty() ? std::string(fallback) : trimmed;
}

}  // namespace

ProviderError::ProviderError(std::string_view description, std::string_view fallback)
    : Error(message_for(description, fallback)), german_(description) {}

ProviderError::ProviderError(std::string_view german, std::string_view engine_text,
                             std::string code)
    : Error(german.empty() ? message_for(engine_text, "Unbekannter Datenbankfehler")
                           : described(german, engine_text)),
      german_(german),
      engine_text_(trim_description(engine_text)),
      code_(std::move(code)) {}

}  // namespace kadrum
