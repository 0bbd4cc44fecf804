#include "db/odbc/column_kinds.h"


#include <array>

namespace kadrum::odbc {

namespace {

struct Known {
  SQLSMALLINT type;
  FieldKind kind;
};

// One line per SQL type; character types are settled below by their size.
constexpr std::array<Known, 17> known_types{{
    {SQL_DOUBLE, FieldKind::floating},
    {SQL_FLOAT, FieldKind::floating},
    {SQL_REAL, FieldKind::floating},
    {SQL_DECIMAL, FieldKind::currency},
    {SQL_NUMERIC, FieldKind::currency},
    {SQL_INTEGER, FieldKind::integer32},
    {SQL_SMALLINT, FieldKind::integer16},
    {SQL_TINYINT, FieldKind::integer16},
    {SQL_BIT, FieldKind::boolean},
    {SQL_TYPE_DATE, FieldKind::date},
    {SQL_TYPE_TIME, FieldKind::time},
    {SQL_TYPE_TIMESTAMP, FieldKind::datetime},
    {SQL_DATETIME, FieldKind::datetime},
    {SQL_LONGVARCHAR, FieldKind::unicode_text},
    {SQL_WLONGVARCHAR, FieldKind::unicode_text},
    {SQL_WCHAR, FieldKind::unicode_text},
    {SQL_WVARCHAR, FieldKind::unicode_text},
}};

}  // namespace

ColumnKind column_kind(SQLSMALLINT type, SQLULEN size, bool unsigned_column) {
  if (type == SQL_TINYINT && unsigned_column) return {FieldKind::unsigned16, 0};
  // A bounded character column cuts its values to its size, as Access's
  // text columns do; an unbounded or huge one keeps them whole.
  if (type == SQL_CHAR || type == SQL_VARCHAR) {
    if (size > 0 && size <= 65535) return {FieldKind::ansi_text, static_cast<int>(size)};
    return {FieldKind::unicode_text, 0};
  }
  for (const auto& known : known_types)
    if (known.type == type) return {known.kind, 0};
  return {FieldKind::floating, 0};
}

}  // namespace kadrum::odbc
