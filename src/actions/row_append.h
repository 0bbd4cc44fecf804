// The append operation: one row becomes one new record of itab, committed
// at once unless the caller holds a transaction.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "import/import_run.h"
#include "convert/locale_formats.h"
#include "convert/value.h"
#include "db/table.h"

namespace kadrum {

// Throws with the German message, prefixed with "itab: ", when "itab" is
// closed or takes no new records: the first check of every way of storing.
void check_takes_records(const Table& itab);

// Converts the row's three texts by the kinds of itab's first three fields and
// writes them as one new record before returning. Throws with the German
// message; nothing of a failing row is stored, and itab stays open and usable.
void append_row(Table& itab, const Row& row, const LocaleFormats& formats);

// The two halves of append_row, for a run that converts on one thread and
// stores on another.

// Converts "row" by "fields" (itab's fields, read while itab is open and
// takes new records) into "values". Throws what append_row throws for the
// row's texts, in the same order; reaches no table.
void convert_row(std::span<const EngineField> fields, const Row& row,
                 const LocaleFormats& formats, std::array<Value, 3>& values);

// Writes "values", made by convert_row, as one new record of "itab", named
// by its file line "line" in an engine's error found later (see
// Table::insert_values). Throws the engine's error; nothing of the record is
// stored then and itab stays usable.
void store_row(Table& itab, const std::array<Value, 3>& values, std::uint64_t line = 0);

}  // namespace kadrum
