#include "actions/go.h"

#include "actions/row_append.h"
#include "convert/locale_formats.h"

namespace kadrum {

void go(const RunSettings& settings, Table& itab, ImportProgress* progress,
        const StoredNotice& stored) {
  if (progress) *progress = ImportProgress{};
  const auto file = open_text_file(settings);
  go(settings, *file, itab, progress, stored);
}

void go(const RunSettings& settings, ByteSource& file, Table& itab,
        ImportProgress* progress, const StoredNotice& stored) {
  const LocaleFormats& formats = locale_formats();
  std::uint64_t count = 0;
  import_run(settings, file,
             [&](const Row& row) {
               append_row(itab, row, formats);
               if (stored) stored(++count);
             },
             progress);
}

}  // namespace kadrum
