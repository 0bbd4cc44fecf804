// How the SQL type that an ODBC driver reports for a column becomes the
// field kind of its values.
#pragma once

#include "db/odbc/odbc_api.h"

#include "convert/field_kind.h"

namespace kadrum::odbc {

struct ColumnKind {
  FieldKind kind = FieldKind::floating;
  int declared_size = 0;  // characters, for ansi_text
};

// The kind for the ODBC SQL type "type" (SQL_DOUBLE, SQL_VARCHAR, ...) of
// "size" characters; "unsigned_column" for types without a sign (MariaDB's
// TINYINT UNSIGNED is Access's byte). Types Kadrum has no kind for hold
// numbers best as doubles. Never throws.
ColumnKind column_kind(SQLSMALLINT type, SQLULEN size, bool unsigned_column);

}  // namespace kadrum::odbc
