// What is particular to MariaDB and MySQL, whose drop and create commit at
// once: a recreated table is filled under a fresh name and swapped in by
// one RENAME TABLE, and what a killed run left of such a swap is finished.
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "db/identifier.h"
#include "db/odbc/engine.h"
#include "db/sql_text.h"

namespace kadrum::odbc {

namespace {

// A table name in its parts; an empty schema is the connection's database.
struct TableName {
  std::string schema;
  std::string table;
};

TableName parts_of(std::string_view name) {
  const std::vector<std::string> parts = unquoted_name_parts(name);
  return parts.size() == 2 ? TableName{parts[0], parts[1]} : TableName{"", parts.back()};
}

std::string quoted(const TableName& name, char quote) {
  return (name.schema.empty() ? "" : quote_identifier(name.schema, quote) + ".") +
         quote_identifier(name.table, quote);
}

}  // namespace

void OdbcEngine::swap_in(const Swap& swap) {
  // One RENAME TABLE moves the old table aside and the fresh one in: other
  // programs see either the old or the new table, never none.
  try {
    session_->run("RENAME TABLE " + swap.name + " TO " + swap.aside + ", " + swap.fresh + " TO " +
                  swap.name);
  } catch (const ProviderError& error) {
    if (error.code() != "42S02") throw;
    session_->run("RENAME TABLE " + swap.fresh + " TO " + swap.name);  // no old table
  }
  session_->run("DROP TABLE IF EXISTS " + swap.aside);
  try {
    // The table is the user's now, no helper to be dropped.
    session_->run("ALTER TABLE " + swap.name + " COMMENT = ''");
  } catch (const ProviderError&) {
  }
}

std::string OdbcEngine::helper_table(const std::string& name, std::string_view suffix) {
  const TableName base = parts_of(name);
  const char quote = session_->dialect().quote;
  for (int n = 1; n <= 20; ++n) {
    const TableName candidate{base.schema,
                              base.table + std::string(suffix) + (n > 1 ? std::to_string(n) : "")};
    const StatementValue values[] = {candidate.schema, candidate.table};
    const auto found =
        prepare("SELECT table_comment FROM information_schema.tables WHERE table_schema = "
                "COALESCE(NULLIF(?, ''), DATABASE()) AND BINARY table_name = ?",
                2, {})
            ->rows(values);
    if (found.empty()) return quoted(candidate, quote);
    if (!found.front().empty() && found.front().front() == kHelperMark) {
      session_->run("DROP TABLE IF EXISTS " + quoted(candidate, quote));
      return quoted(candidate, quote);
    }
  }
  throw ProviderError(fill_message(
      "Für die Tabelle '%s' ist kein Name für eine Hilfstabelle frei: '%s' und die 19 Namen "
      "danach gehören anderen Tabellen",
      {name, base.table + std::string(suffix)}));
}

void OdbcEngine::finish_pending_swaps(const std::string& name) {
  // A fresh table that another Kadrum fills in its open transaction looks
  // empty from here: only while no recreate of the table runs.
  const std::unique_ptr<EngineLock> lock = try_lock("recreate\n" + name);
  if (!lock) return;
  const TableName base = parts_of(name);
  const char quote = session_->dialect().quote;
  const StatementValue values[] = {base.schema, std::string(kHelperMark)};
  const auto helpers =
      prepare("SELECT table_name FROM information_schema.tables WHERE table_schema = "
              "COALESCE(NULLIF(?, ''), DATABASE()) AND table_comment = ?",
              2, {})
          ->rows(values);
  const std::string prefix = base.table + "_kadrum_neu";
  for (const auto& row : helpers) {
    if (row.empty() || !row.front().starts_with(prefix) ||
        row.front().find_first_not_of("0123456789", prefix.size()) != std::string::npos)
      continue;
    const std::string fresh = quoted(TableName{base.schema, row.front()}, quote);
    // Rows in it were committed: the run that made it was killed between
    // its commit and the swap, and its checkpoints count on the swap.
    if (select_text("SELECT 1 FROM " + fresh + " LIMIT 1").empty())
      session_->run("DROP TABLE IF EXISTS " + fresh);
    else
      swap_in(Swap{name, fresh, helper_table(name, "_kadrum_alt")});
  }
}

}  // namespace kadrum::odbc
