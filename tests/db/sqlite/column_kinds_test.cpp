#include "db/sqlite/column_kinds.h"

#include <gtest/gtest.h>

namespace kadrum::sqlite {
namespace {

TEST(ColumnKinds, DeclaredTypesMapToKindsWithoutRegardToCase) {
  struct Case {
    const char* declared;
    FieldKind kind;
    int size;
  };
  const Case cases[] = {
      {"double", FieldKind::floating, 0},
      {"DOUBLE PRECISION", FieldKind::floating, 0},
      {"double   precision", FieldKind::floating, 0},
      {" Float ", FieldKind::floating, 0},
      {"real", FieldKind::floating, 0},
      {"single", FieldKind::floating, 0},
      {"currency", FieldKind::currency, 0},
      {"MONEY", FieldKind::currency, 0},
      {"integer", FieldKind::integer32, 0},
      {"INT", FieldKind::integer32, 0},
      {"smallint", FieldKind::integer16, 0},
      {"tinyint", FieldKind::integer16, 0},
      {"byte", FieldKind::unsigned16, 0},
      {"text", FieldKind::unicode_text, 0},
      {"NTEXT", FieldKind::unicode_text, 0},
      {"memo", FieldKind::unicode_text, 0},
      {"nchar(10)", FieldKind::unicode_text, 0},
      {"nvarchar(255)", FieldKind::unicode_text, 0},
      {"char(3)", FieldKind::ansi_text, 3},
      {"VARCHAR ( 20 )", FieldKind::ansi_text, 20},
      {"character(8)", FieldKind::ansi_text, 8},
      {"varchar", FieldKind::unicode_text, 0},
      {"varchar(x)", FieldKind::unicode_text, 0},
      {"date", FieldKind::date, 0},
      {"time", FieldKind::time, 0},
      {"datetime", FieldKind::datetime, 0},
      {"timestamp", FieldKind::datetime, 0},
      {"bit", FieldKind::boolean, 0},
      {"Boolean", FieldKind::boolean, 0},
      {"bool", FieldKind::boolean, 0},
      {"yesno", FieldKind::boolean, 0},
      {"logical", FieldKind::boolean, 0},
      // SQLite's affinity rules for everything else.
      {"bigint", FieldKind::integer32, 0},
      {"unsigned big int", FieldKind::integer32, 0},
      {"double int", FieldKind::integer32, 0},
      {"clob", FieldKind::unicode_text, 0},
      {"varying character(5)", FieldKind::unicode_text, 0},
      {"numeric(10,2)", FieldKind::floating, 0},
      {"decimal", FieldKind::floating, 0},
      {"blob", FieldKind::floating, 0},
      {"", FieldKind::floating, 0},
  };
  for (const auto& c : cases) {
    const ColumnKind kind = column_kind(c.declared);
    EXPECT_EQ(kind.kind, c.kind) << c.declared;
    EXPECT_EQ(kind.declared_size, c.size) << c.declared;
  }
}

}  // namespace
}  // namespace kadrum::sqlite
