// Turns one value text into the value its column holds.
#pragma once

#include <string>
#include <string_view>

#include "base/error.h"
#include "convert/field_kind.h"
#include "convert/locale_formats.h"
#include "convert/value.h"

namespace kadrum {

// The error for a text that is no number for a floating or currency column:
// the message as shown, and the text that failed, so that a caller can tell
// why (a decimal separator other than the locale's, for instance).
class FloatTextError : public LineFault {
 public:
  FloatTextError(std::string_view message, std::string_view text)
      : LineFault(message), text_(text) {}
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

// Converts "text" for a column of "kind" named "field_name". "declared_size"
// is the column's size in characters for ansi_text (0: no size). Throws
// LineFault with the kind's German message when the text does not convert
// (FloatTextError for the floating and currency kinds) and
// "Gleitkommaüberlauf" beyond the double range; kadrum::Error "Feld '%s'
// kann nicht verändert werden" for every text of an auto-increment column,
// which is the table's doing, not the line's.
Value convert_value(std::string_view text, FieldKind kind,
                    std::string_view field_name, int declared_size,
                    const LocaleFormats& formats);

}  // namespace kadrum
