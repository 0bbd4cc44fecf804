// How a PostgreSQL column type becomes the field kind of its values.
#pragma once

#include "convert/field_kind.h"

namespace kadrum::postgresql {

struct ColumnKind {
  FieldKind kind = FieldKind::unicode_text;
  int declared_size = 0;  // characters, for ansi_text
};

// The kind for a column of the type "type_oid" with the type modifier
// "type_modifier", as libpq reports them for a result column (PQftype,
// PQfmod; a domain reports its base type). Types Kadrum knows map to their
// kind; any other type takes the value as text and leaves its reading to
// the server's input function. Never throws.
ColumnKind column_kind(unsigned type_oid, int type_modifier);

// The parameter type an INSERT declares for a column of "type_oid": numeric
// for money, whose own input reads the server's monetary locale; 0 (left to
// the server) for every other type. Never throws.
unsigned parameter_type(unsigned type_oid);

}  // namespace kadrum::postgresql
