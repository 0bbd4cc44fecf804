#include "cli/decimal_hint.h"

#include "base/error.h"
#include "cli/platform_text.h"
#include "convert/float_text.h"
#include "convert/value_conversion.h"

namespace kadrum {

std::string decimal_separator_hint(const std::exception& error, const std::string& separator,
                                   bool chosen) {
  const auto* failed = dynamic_cast<const FloatTextError*>(&error);
  if (failed == nullptr || separator == ".") return "";
  if (parse_float_text(failed->text(), ".").status != FloatTextStatus::ok) return "";
  const std::string source = chosen ? "von --decimal=" + separator
                                    : std::string(platform_text::locale_source);
  return fill_message(
      "Hinweis: Werte werden mit dem Dezimaltrennzeichen '%s' %s umgewandelt; für Dateien mit "
      "Dezimalpunkt --decimal=. angeben%s.",
      {separator, source, chosen ? "" : std::string(platform_text::other_point_choice)});
}

}  // namespace kadrum
