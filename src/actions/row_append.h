// The append operation: one row becomes one new committed record of itab.
#pragma once

#include "import/import_run.h"
#include "convert/locale_formats.h"
#include "db/table.h"

namespace kadrum {

// Converts the row's three texts by the kinds of itab's first three fields and
// writes them as one new record before returning. Throws with the German
// message; nothing of a failing row is stored, and itab stays open and usable.
void append_row(Table& itab, const Row& row, const LocaleFormats& formats);

}  // namespace kadrum
