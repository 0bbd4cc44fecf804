#include "db/odbc/errors.h"

#include <algorithm>
#include <array>

#include "base/messages.h"
#include "db/data_source.h"

namespace kadrum::odbc {

namespace {

// Diagnostic record "record" (1-based) of "handle"; an empty SQLSTATE when
// there is none.
Diagnostic diagnostic_record(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record) {
  SQLWCHAR state[6] = {};
  SQLINTEGER native = 0;
  std::array<SQLWCHAR, 2048> text{};
  SQLSMALLINT length = 0;
  Diagnostic found;
  if (!succeeded(SQLGetDiagRecW(type, handle, record, state, &native, text.data(),
                                static_cast<SQLSMALLINT>(text.size()), &length)))
    return found;
  found.sqlstate = narrow(state, 5);
  found.native = native;
  found.text = narrow(text.data(), std::min<std::size_t>(std::max<SQLSMALLINT>(length, 0),
                                                         text.size() - 1));
  // "[unixODBC][Driver Manager]..." or "[ma-3.1.18]...": the prefixes name
  // the components, not the failure.
  while (!found.text.empty() && found.text.front() == '[') {
    const auto close = found.text.find(']');
    if (close == std::string::npos) break;
    found.text.erase(0, close + 1);
  }
  // On one line: a line break and the blanks after it become one blank.
  std::string line;
  for (std::size_t i = 0; i < found.text.size(); ++i) {
    const char c = found.text[i];
    if (c != '\n' && c != '\r') {
      line += c;
      continue;
    }
    while (i + 1 < found.text.size() && (found.text[i + 1] == '\t' || found.text[i + 1] == ' ' ||
                                         found.text[i + 1] == '\n' || found.text[i + 1] == '\r'))
      ++i;
    line += ' ';
  }
  found.text = line;
  return found;
}

}  // namespace

Diagnostic diagnostic(SQLSMALLINT type, SQLHANDLE handle) {
  return diagnostic_record(type, handle, 1);
}

Diagnostic value_changed(SQLSMALLINT type, SQLHANDLE handle) {
  for (SQLSMALLINT record = 1;; ++record) {
    Diagnostic found = diagnostic_record(type, handle, record);
    if (found.sqlstate.empty()) return found;
    for (const std::string_view changed : {"01004", "01S07", "22001", "22003"})
      if (found.sqlstate == changed) return found;
  }
}

bool connection_lost(const Diagnostic& found) {
  for (const std::string_view lost : {"08S01", "08003", "08006", "08007"})
    if (found.sqlstate == lost) return true;
  // MariaDB's and MySQL's client library reports a server that went away
  // or a connection that broke under HY000 with numbers of its own (2006,
  // 2013, 2055), and the server a killed connection under 70100 (1927);
  // the numbers are the client library's, so its texts are asked too.
  if (found.sqlstate != "HY000" && found.sqlstate != "70100") return false;
  if (found.native == 2006 || found.native == 2013 || found.native == 2055 ||
      (found.sqlstate == "70100" && found.native == 1927))
    return true;
  for (const std::string_view text :
       {"server has gone away", "Lost connection to", "Connection was killed"})
    if (found.text.find(text) != std::string::npos) return true;
  return false;
}

namespace {

struct Everyday {
  std::string_view prefix;  // an SQLSTATE or its class
  std::string_view german;
};

constexpr std::string_view connection_broke = "Die Verbindung zum Datenbankserver ist abgebrochen";

// The first entry whose SQLSTATE or class matches wins.
constexpr std::array<Everyday, 23> everyday{{
    {"IM002", "Der ODBC-Treiber oder die Datenquelle ist nicht eingerichtet"},
    {"IM003", "Der ODBC-Treiber lässt sich nicht laden"},
    {"08001", "Keine Verbindung zum Datenbankserver"},
    {"08004", "Der Datenbankserver lehnt die Verbindung ab"},
    {"08S01", connection_broke},
    {"08003", connection_broke},
    {"08006", connection_broke},
    {"08007", connection_broke},
    {"08", "Die Verbindung zum Datenbankserver ist gestört"},
    // PostgreSQL's own states, which its ODBC driver passes on.
    {"57014", "Der Datenbankserver hat die Anweisung abgebrochen"},
    {"57", "Der Datenbankserver hat die Verbindung beendet"},
    {"25P03", "Der Datenbankserver hat die zu lange untätige Transaktion beendet"},
    {"HYT01", "Der Datenbankserver hat in der gesetzten Zeit nicht geantwortet"},
    {"28", "Die Anmeldung am Datenbankserver ist gescheitert"},
    {"42S02", messages::table_missing},
    {"42000", "Die Anweisung ist fehlerhaft oder dem Benutzer fehlt die Berechtigung dafür"},
    {"42", messages::statement_faulty},
    {"HYT00", messages::database_locked},
    {"40001", messages::database_locked},
    {"22003", "Ein Wert liegt außerhalb des Bereichs seiner Spalte"},
    {"22", messages::value_mismatch},
    {"23", messages::constraint_violated},
    {"53100", messages::disk_full},
}};

}  // namespace

std::string_view german_for(std::string_view sqlstate) {
  for (const auto& known : everyday)
    if (sqlstate.starts_with(known.prefix)) return known.german;
  return {};
}

ProviderError failure(SQLSMALLINT type, SQLHANDLE handle, const std::vector<std::string>& secrets,
                      std::string_view german) {
  const Diagnostic found = diagnostic(type, handle);
  // A few texts say more than their SQLSTATE: MariaDB reports a missing
  // database under 42000, a full disk or table under HY000, and unixODBC a
  // driver it cannot find or load under 01000.
  struct Telling {
    std::string_view text;
    std::string_view german;
  };
  static constexpr std::array<Telling, 5> telling{{
      {"Unknown database", "Die Datenbank gibt es auf dem Server nicht"},
      {"is full", messages::disk_full},
      {"No space left", messages::disk_full},
      {"Lock wait timeout", messages::database_locked},
      {"Can't open lib", "Der ODBC-Treiber ist nicht installiert oder lässt sich nicht laden"},
  }};
  for (const auto& known : telling)
    if (german.empty() && found.text.find(known.text) != std::string::npos) german = known.german;
  const bool lost = connection_lost(found);
  if (german.empty() && lost) german = connection_broke;
  if (german.empty()) german = german_for(found.sqlstate);
  if (german.empty()) german = messages::engine_failure;
  ProviderError error(masked(german, secrets), masked(found.text, secrets), found.sqlstate);
  // A broken connection, a server that ended the connection or the
  // statement, and a time-out are no record's fault, whichever record was
  // being sent when they surfaced.
  if (lost || found.sqlstate.starts_with("08") || found.sqlstate.starts_with("57") ||
      found.sqlstate == "25P03" || found.sqlstate == "HYT00" || found.sqlstate == "HYT01")
    error.set_stopped_by_server();
  return error;
}

void check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle,
           const std::vector<std::string>& secrets, std::string_view german) {
  if (succeeded(rc) || rc == SQL_NO_DATA) return;
  throw failure(type, handle, secrets, german);
}

ProviderError changed_value(const Diagnostic& found, bool stored,
                            const std::vector<std::string>& secrets) {
  return ProviderError(stored ? "Die Datenbank hat einen Wert gekürzt oder gerundet, um ihn in "
                                "seine Spalte zu bringen; der Datensatz ist so gespeichert"
                              : "Die Datenbank hat einen Wert gekürzt oder gerundet, um ihn in "
                                "seine Spalte zu bringen",
                       masked(found.text, secrets), found.sqlstate);
}

}  // namespace kadrum::odbc
