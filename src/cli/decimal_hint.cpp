#include "cli/decimal_hint.h"

#include "base/error.h"
#include "convert/float_text.h"
#include "convert/value_conversion.h"

namespace kadrum {

std::string decimal_separator_hint(const std::exception& error,
                                   const std::string& locale_separator) {
  const auto* failed = dynamic_cast<const FloatTextError*>(&error);
  if (failed == nullptr || locale_separator == ".") return "";
  if (parse_float_text(failed->text(), ".").status != FloatTextStatus::ok) return "";
  return fill_message(
      "Hinweis: Werte werden mit dem Dezimaltrennzeichen '%s' des Gebietsschemas "
      "umgewandelt; für Dateien mit Dezimalpunkt LC_NUMERIC=C setzen (bei nicht "
      "gesetztem LC_ALL).",
      {locale_separator});
}

}  // namespace kadrum
