#include "base/error.h"
#include "base/messages.h"

#include <new>

namespace kadrum {

std::string fill_message(std::string_view format,
                         std::initializer_list<std::string_view> args) {
  std::string out;
  out.reserve(format.size() + 32);
  auto next = args.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    const bool placeholder = format[i] == '%' && i + 1 < format.size() &&
                             (format[i + 1] == 's' || format[i + 1] == 'd' ||
                              format[i + 1] == 'g');
    if (placeholder && next != args.end()) {
      out += *next++;
      ++i;
    } else {
      out += format[i];
    }
  }
  return out;
}

namespace {

// What the user is shown for an error that is no kadrum::Error: the text
// of a library's exception is English and names no cause the user can act on.
std::string_view foreign_message(const std::exception& error) {
  if (dynamic_cast<const std::bad_alloc*>(&error)) return messages::out_of_memory;
  return messages::internal_error;
}

// Walks std::nested_exception links; keeps the deepest non-empty message.
void collect_innermost(const std::exception& error, std::string& message) {
  if (!dynamic_cast<const Error*>(&error))
    message = foreign_message(error);
  else if (*error.what() != '\0')
    message = error.what();
  try {
    std::rethrow_if_nested(error);
  } catch (const std::exception& inner) {
    collect_innermost(inner, message);
  } catch (...) {
    // A cause that is no std::exception carries no message.
  }
}

}  // namespace

std::string innermost_message(const std::exception& error) {
  std::string message;
  collect_innermost(error, message);
  return message;
}

std::string with_full_stop(std::string text) {
  if (!text.empty() && static_cast<unsigned char>(text.back()) > 0x2E)
    text += '.';
  return text;
}

std::string display_text(const std::exception& error) {
  return with_full_stop(innermost_message(error));
}

}  // namespace kadrum
