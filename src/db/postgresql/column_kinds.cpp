#include "db/postgresql/column_kinds.h"

#include <array>

namespace kadrum::postgresql {

namespace {

// Type OIDs are fixed for the built-in types (pg_type.dat).
constexpr unsigned bool_oid = 16, int8_oid = 20, int2_oid = 21, int4_oid = 23,
                   text_oid = 25, float4_oid = 700, float8_oid = 701, money_oid = 790,
                   bpchar_oid = 1042, varchar_oid = 1043, date_oid = 1082, time_oid = 1083,
                   timestamp_oid = 1114, timestamptz_oid = 1184, timetz_oid = 1266,
                   numeric_oid = 1700;

// A type modifier carries its size after a 4-byte header (VARHDRSZ).
constexpr int header = 4;

struct Known {
  unsigned oid;
  FieldKind kind;
};

// bigint takes 32-bit whole numbers: Kadrum's integer rule has no wider form.
constexpr std::array<Known, 14> known_types{{
    {float8_oid, FieldKind::floating},     {float4_oid, FieldKind::floating},
    {numeric_oid, FieldKind::decimal},     {money_oid, FieldKind::currency},
    {int4_oid, FieldKind::integer32},      {int8_oid, FieldKind::integer32},
    {int2_oid, FieldKind::integer16},      {text_oid, FieldKind::unicode_text},
    {date_oid, FieldKind::date},           {time_oid, FieldKind::time},
    {timetz_oid, FieldKind::time},         {timestamp_oid, FieldKind::datetime},
    {timestamptz_oid, FieldKind::datetime}, {bool_oid, FieldKind::boolean},
}};

}  // namespace

ColumnKind column_kind(unsigned type_oid, int type_modifier) {
  if (type_oid == varchar_oid || type_oid == bpchar_oid) {
    if (type_modifier > header) return {FieldKind::ansi_text, type_modifier - header};
    return {FieldKind::unicode_text, 0};
  }
  if (type_oid == numeric_oid && type_modifier >= header) {
    // numeric(p,4) is exactly the currency kind's four decimals; any other
    // scale takes the exact decimal the text spells, rounded once, by the
    // server, to the column's scale.
    const int precision = ((type_modifier - header) >> 16) & 0xffff;
    const int scale = (type_modifier - header) & 0x7ff;
    if (scale == 4 && precision <= 18) return {FieldKind::currency, 0};
  }
  for (const auto& known : known_types)
    if (known.oid == type_oid) return {known.kind, 0};
  return {FieldKind::unicode_text, 0};
}

unsigned parameter_type(unsigned type_oid) {
  return type_oid == money_oid ? numeric_oid : 0;
}

int binary_size(unsigned type_oid) {
  switch (type_oid) {
    case float8_oid:
    case int8_oid: return 8;
    case int4_oid: return 4;
    case int2_oid: return 2;
    case bool_oid: return 1;
    default: return 0;
  }
}

}  // namespace kadrum::postgresql
