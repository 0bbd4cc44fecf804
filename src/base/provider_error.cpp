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

namespace {

std::string message_for(std::string_view description, std::string_view fallback) {
  std::string trimmed = trim_description(description);
  return trimmed.empty() ? std::string(fallback) : trimmed;
}

}  // namespace

ProviderError::ProviderError(std::string_view description, int engine_code,
                             std::string_view fallback)
    : Error(message_for(description, fallback)), engine_code_(engine_code) {}

}  // namespace kadrum
