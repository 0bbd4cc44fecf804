#include "actions/row_append.h"


#include "base/error.h"
#include "base/messages.h"
#include "convert/value_conversion.h"

namespace kadrum {

void convert_row(std::span<const EngineField> fields, const Row& row,
                 const LocaleFormats& formats, std::array<Value, 3>& values) {
  for (std::size_t i = 0; i < row.size(); ++i) {
    if (i >= fields.size()) throw Error(messages::argument_out_of_range);
    const EngineField& field = fields[i];
    values[i] = convert_value(row[i], field.kind, field.name, field.declared_size, formats);
    if (!field.updatable || field.kind == FieldKind::autoincrement)
      throw Error(fill_message(messages::field_not_writable, {field.name}));
  }
}

void store_row(Table& itab, const std::array<Value, 3>& values, std::uint64_t line) {
  itab.insert_values(values, line);
}

void check_takes_records(const Table& itab) {
  if (!itab.is_open())
    throw Error(messages::for_object("itab", messages::dataset_closed));
  if (!itab.supports_update())
    throw Error(messages::for_object("itab", messages::dataset_read_only));
}

void append_row(Table& itab, const Row& row, const LocaleFormats& formats) {
  check_takes_records(itab);

  // Every value is converted before anything reaches the table, so a bad text
  // leaves no trace of its row.
  std::array<Value, 3> values;
  convert_row(itab.fields(), row, formats, values);
  store_row(itab, values);
}

}  // namespace kadrum
