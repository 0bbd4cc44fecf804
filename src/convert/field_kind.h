// The conversion class of a column, settled when a table is opened.
#pragma once

namespace kadrum {

enum class FieldKind {
  floating,       // double, float, real, single
  decimal,        // exact decimal: the float-text rule checks it, its text is sent
  currency,       // four decimals, held as a scaled 64-bit integer
  integer32,      // int, integer
  integer16,      // smallint, tinyint
  unsigned16,     // byte
  autoincrement,  // refuses every value
  unicode_text,   // kept as it is, never cut
  ansi_text,      // cut to the column's declared size
  datetime,       // locale's short date, then its time
  date,           // locale's short date
  time,           // locale's time
  boolean,        // prefixes of "Falsch" and "Wahr"
};

}  // namespace kadrum
