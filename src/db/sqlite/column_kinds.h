// How a column's declared SQLite type becomes the field kind of its values.
#pragma once

#include <string_view>

#include "convert/field_kind.h"

namespace kadrum::sqlite {

struct ColumnKind {
  FieldKind kind = FieldKind::floating;
  int declared_size = 0;  // characters, for ansi_text
};

// The kind for "declared_type" (compared without regard to case, on the name
// before any "("). Names Kadrum knows map directly; any other type follows
// SQLite's affinity rules. Never throws.
ColumnKind column_kind(std::string_view declared_type);

}  // namespace kadrum::sqlite
