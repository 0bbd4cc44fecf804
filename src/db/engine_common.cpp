// The parts of Engine and EngineTable that every engine shares.
#include <algorithm>
#include <optional>

#include "base/messages.h"
#include "base/provider_error.h"
#include "db/engine.h"
#include "db/parameter_markers.h"
#include "db/transaction.h"

namespace kadrum {

void EngineTable::insert(std::span<const std::size_t> positions,
                         std::span<const Value> values, std::uint64_t tag) {
  if (!accepts_new_records()) throw ProviderError(messages::takes_no_records);
  if (!prepared_ || !std::equal(positions.begin(), positions.end(),
                                prepared_positions_.begin(), prepared_positions_.end())) {
    prepared_ = false;
    prepare(positions);
    prepared_positions_.assign(positions.begin(), positions.end());
    prepared_ = true;
  }
  store(values, tag);
}

void Engine::execute_command(std::string_view text) {
  const MarkedStatement marked =
      scan_parameter_markers(text, sql_dialect(),
                             [this](std::size_t index) { return parameter_marker(index); });
  execute(marked.text, marked.names.size());
}

std::unique_ptr<EngineStatement> Engine::prepare_command(std::string_view text,
                                                         const std::string& one_row_failure) {
  const MarkedStatement marked =
      scan_parameter_markers(text, sql_dialect(),
                             [this](std::size_t index) { return parameter_marker(index); });
  return prepare(marked.text, marked.names.size(), one_row_failure);
}

std::vector<std::vector<std::string>> Engine::select_text(std::string_view) {
  throw ProviderError("Diese Datenbank kann keine Abfrageergebnisse lesen");
}

void Engine::set_savepoint(std::string_view name) {
  execute("SAVEPOINT " + std::string(name), 0);
}

void Engine::release_savepoint(std::string_view name) {
  execute("RELEASE SAVEPOINT " + std::string(name), 0);
}

void Engine::roll_back_to_savepoint(std::string_view name) {
  execute("ROLLBACK TO SAVEPOINT " + std::string(name), 0);
}

std::unique_ptr<EngineLock> Engine::try_lock(std::string_view) {
  return std::make_unique<EngineLock>();
}

void Engine::recreate_table(const std::string& name,
                            const std::array<std::string_view, 3>& columns,
                            bool inside_transaction, const RunStatement& run) {
  check_statement_name(name, sql_dialect());
  // Drop and create replace the table together.
  std::optional<Transaction> replace;
  if (!inside_transaction) replace.emplace(*this);
  // The drop fails whenever the table is not there yet; that is expected.
  // Any other reason of its failure is kept for the create's message, since
  // the create then fails for it. A failed statement leaves the transaction
  // usable.
  std::string drop_failure;
  try {
    run(" drop table " + name);
  } catch (const std::exception& error) {
    drop_failure = innermost_message(error);
    if (drop_failure.starts_with(messages::table_missing)) drop_failure.clear();
  } catch (...) {
  }
  std::string create = " create table " + name + " ( ";
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) create += ", ";
    create += columns[i];
    create += ' ';
    create += number_type();
  }
  create += " )";
  try {
    run(create);
  } catch (const std::exception& error) {
    // A name the engine cannot read fails both statements alike; the drop's
    // words would add nothing then.
    const std::string failure = innermost_message(error);
    if (drop_failure.empty() || drop_failure == failure ||
        name.find_first_not_of(' ') == std::string::npos)
      throw;
    throw ProviderError(failure + "; das Löschen der Tabelle davor ist gescheitert: " +
                        drop_failure);
  }
  if (replace) replace->commit();
}

}  // namespace kadrum
