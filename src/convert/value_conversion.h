// Turns one value text into the value its column holds.
#pragma once

#include <string_view>

#include "convert/field_kind.h"
#include "convert/locale_formats.h"
#include "convert/value.h"

namespace kadrum {

// Converts "text" for a column of "kind" named "field_name". "declared_size"
// is the column's size in characters for ansi_text (0: no size). Throws
// kadrum::Error with the kind's German message when the text does not convert,
// "Gleitkommaüberlauf" beyond the double range, and "Feld '%s' kann nicht
// verändert werden" for every text of an auto-increment column.
Value convert_value(std::string_view text, FieldKind kind,
                    std::string_view field_name, int declared_size,
                    const LocaleFormats& formats);

}  // namespace kadrum
