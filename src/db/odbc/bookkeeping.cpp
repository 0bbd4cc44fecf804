// Kadrum's own bookkeeping through ODBC: its locks (each database's named
// locks where it has them, the lock file beside a database that is a file,
// none elsewhere) and the names it keys them and its checkpoints by.
#include <cctype>
#include <optional>

#include "base/error.h"
#include "base/messages.h"
#include "base/stop_signal.h"
#include "db/lock_file.h"
#include "db/odbc/engine.h"
#include "db/sql_text.h"

namespace kadrum::odbc {

namespace {

// The statements that take and give up the lock of one key, the key as
// their one parameter; the first returns one row whose cell says whether
// it was taken.
struct LockStatements {
  const char* take;
  const char* give_up;
};

// Lock names of MariaDB and MySQL are the server's, at most 64 characters:
// a hash of the database and the key stands for them.
constexpr LockStatements kNamedLock{
    "SELECT GET_LOCK(CONCAT('kadrum ', SHA2(CONCAT(IFNULL(DATABASE(), ''), CHAR(10), ?), 224)), 0)",
    "SELECT RELEASE_LOCK(CONCAT('kadrum ', SHA2(CONCAT(IFNULL(DATABASE(), ''), CHAR(10), ?), "
    "224)))"};
constexpr LockStatements kAdvisoryLock{
    "SELECT pg_try_advisory_lock(hashtext('kadrum'), hashtext(CAST(? AS text)))",
    "SELECT pg_advisory_unlock(hashtext('kadrum'), hashtext(CAST(? AS text)))"};
// sp_getapplock answers by its return value, 0 or 1 when granted; its
// resource names are at most 255 characters.
constexpr LockStatements kApplicationLock{
    "SET NOCOUNT ON DECLARE @granted int, @key nvarchar(255) = N'kadrum ' + "
    "CONVERT(nvarchar(64), HASHBYTES('SHA2_256', CAST(? AS nvarchar(4000))), 2) "
    "EXEC @granted = sp_getapplock @Resource = @key, @LockMode = 'Exclusive', "
    "@LockOwner = 'Session', @LockTimeout = 0 SELECT CASE WHEN @granted >= 0 THEN 1 ELSE 0 END",
    "SET NOCOUNT ON DECLARE @key nvarchar(255) = N'kadrum ' + "
    "CONVERT(nvarchar(64), HASHBYTES('SHA2_256', CAST(? AS nvarchar(4000))), 2) "
    "EXEC sp_releaseapplock @Resource = @key, @LockOwner = 'Session'"};

class ServerLock final : public EngineLock {
 public:
  ServerLock(OdbcEngine& engine, const char* give_up, std::string key)
      : engine_(engine), give_up_(give_up), key_(std::move(key)) {}
  ~ServerLock() override {
    try {
      const StatementValue values[] = {key_};
      engine_.prepare(give_up_, 1, {})->rows(values);
    } catch (const std::exception&) {
      // A lost connection has given the lock up already.
    }
  }

 private:
  OdbcEngine& engine_;
  const char* give_up_;
  std::string key_;
};

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

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::unique_ptr<EngineLock> OdbcEngine::try_lock(std::string_view key) {
  if (lock_file_) return lock_file_->try_lock(key);
  const auto* statements =
      lock_kind_ == LockKind::named      ? &kNamedLock
      : lock_kind_ == LockKind::advisory ? &kAdvisoryLock
      : lock_kind_ == LockKind::application ? &kApplicationLock
                                            : nullptr;
  if (!statements) return std::make_unique<EngineLock>();
  const StatementValue values[] = {std::string(key)};
  const auto rows = prepare(statements->take, 1, {})->rows(values);
  const std::string taken = rows.empty() || rows.front().empty() ? "" : lower(rows.front().front());
  if (taken != "1" && taken != "t" && taken != "true") return nullptr;
  return std::make_unique<ServerLock>(*this, statements->give_up, std::string(key));
}

void OdbcEngine::hold_recreate_lock(std::string_view name) {
  check_recreate_name(name);
  if (lock_file_) {
    lock_file_->hold_table_lock(name);
    return;
  }
  if (lock_kind_ == LockKind::none)
    throw ProviderError(fill_message(
        "'*' wird für %s abgelehnt: die Datenbank bietet keine Sperre, mit der ein zweites "
        "Neuanlegen derselben Tabelle warten müsste, bis dieser Lauf endet",
        {dialect().dbms.empty() ? "diesen ODBC-Treiber" : dialect().dbms}));
  // PostgreSQL and SQL Server read names without quotes in any case alike.
  std::string key = "recreate\n" + std::string(name);
  if (lock_kind_ != LockKind::named && key.find('"') == std::string::npos) key = lower(key);
  // Tried again and again rather than waited for, so that a stop request
  // ends the wait.
  for (;;) {
    if (std::unique_ptr<EngineLock> lock = try_lock(key)) {
      held_locks_.push_back(std::move(lock));
      return;
    }
    check_stop_request();
    wait_for_stop_request(50);
  }
}

std::string OdbcEngine::table_key(std::string_view name) {
  const std::vector<std::string> parts = unquoted_name_parts(name);
  if (parts.size() > 2 || parts.back().empty()) return std::string(name);
  const std::string schema = parts.size() == 2 ? parts[0] : std::string();
  const char* lookup = nullptr;
  if (lock_kind_ == LockKind::named) {
    // Names compare by the column's collation: an exact match first.
    lookup =
        "SELECT table_schema = DATABASE(), table_schema, table_name FROM information_schema.tables "
        "WHERE table_schema = COALESCE(NULLIF(?, ''), DATABASE()) AND table_name = ? "
        "ORDER BY table_name = CAST(? AS BINARY) DESC";
  } else if (lock_kind_ == LockKind::advisory) {
    lookup =
        "SELECT CASE WHEN n.nspname = current_schema() THEN 1 ELSE 0 END, n.nspname, c.relname "
        "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
        "WHERE c.oid = to_regclass(CAST(? AS text))";
  }
  if (!lookup) {
    // Without a catalogue to ask, the quotes alone are dropped.
    std::string current;
    SQLWCHAR text[256] = {};
    SQLINTEGER bytes = 0;
    if (succeeded(SQLGetConnectAttrW(session_->connection(), SQL_ATTR_CURRENT_CATALOG, text,
                                     sizeof text - sizeof(SQLWCHAR), &bytes)))
      current = narrow(text, static_cast<std::size_t>(std::max<SQLINTEGER>(bytes, 0)) / sizeof(SQLWCHAR));
    return schema.empty() || schema == current ? parts.back() : schema + "." + parts.back();
  }
  std::vector<std::vector<std::string>> found;
  if (lock_kind_ == LockKind::named) {
    const StatementValue values[] = {schema, parts.back(), parts.back()};
    found = prepare(lookup, 3, {})->rows(values);
  } else {
    const StatementValue values[] = {std::string(open_form(name, "\"", [](std::string_view part) {
      return quote_identifier(part, '"');
    }))};
    found = prepare(lookup, 1, {})->rows(values);
  }
  if (found.empty() || found.front().size() < 3) return std::string(name);
  const auto& row = found.front();
  return row[0] == "1" || row[0] == "t" ? row[2] : row[1] + "." + row[2];
}

void OdbcEngine::check_recreate_name(std::string_view name) const {
  check_statement_name(name, sql_dialect(), session_->dialect().rename_swap);
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
