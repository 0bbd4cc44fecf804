#include "db/postgresql/errors.h"

#include <libpq-fe.h>

#include <array>
#include <cstring>

#include "base/messages.h"

namespace kadrum::postgresql {

std::string one_line(std::string_view text) {
  std::string line;
  bool pending_blank = false;
  for (char c : text) {
    if (c == '\n' || c == '\r' || c == '\t') {
      pending_blank = !line.empty();
      continue;
    }
    if (pending_blank && c != ' ') line += ' ';
    pending_blank = false;
    line += c;
  }
  return line;
}

namespace {

struct Everyday {
  const char* sqlstate;  // five characters, or the two of a whole class
  std::string_view german;
};

constexpr std::string_view connection_lost = "Die Verbindung zum PostgreSQL-Server ist abgebrochen";

// The failures a user meets in everyday work get Kadrum's own words first;
// the first entry whose SQLSTATE or class matches wins.
constexpr std::array<Everyday, 17> everyday{{
    {"42P01", messages::table_missing},
    {"42501", messages::no_permission},
    {"25006", messages::database_read_only},
    {"53100", messages::disk_full},
    {"55P03", messages::database_locked},
    {"40P01", messages::database_locked},
    {"40001", "Die Transaktion kam mit einer gleichzeitigen anderen in Konflikt"},
    {"57014", "Der PostgreSQL-Server hat die Anweisung abgebrochen"},
    {"25P03", "Der PostgreSQL-Server hat die zu lange untätige Transaktion beendet"},
    {"57P05", "Der PostgreSQL-Server hat die zu lange untätige Verbindung beendet"},
    {"57P01", "Der PostgreSQL-Server hat die Verbindung beendet"},
    {"57P02", "Der PostgreSQL-Server hat die Verbindung nach einem Absturz beendet"},
    {"57P03", "Der PostgreSQL-Server nimmt noch keine Verbindungen an"},
    {"08", connection_lost},
    {"42", messages::statement_faulty},
    {"23", messages::constraint_violated},
    {"22", messages::value_mismatch},
}};

}  // namespace

bool server_side_stop(const char* state) {
  return state && (std::strncmp(state, "57", 2) == 0 || std::strncmp(state, "08", 2) == 0 ||
                   std::strcmp(state, "25P03") == 0);
}


ProviderError result_error(pg_conn* conn, const pg_result* result) {
  const char* primary =
      result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
  if (!primary) {
    // No answer from the server: libpq's own text says why.
    const std::string text = one_line(PQerrorMessage(conn));
    // libpq may tell of a closed connection before it marks it so; reading
    // what is left marks it.
    if (PQstatus(conn) == CONNECTION_BAD || PQconsumeInput(conn) == 0 ||
        PQstatus(conn) == CONNECTION_BAD) {
      ProviderError lost(connection_lost, text, "08006");
      lost.set_stopped_by_server();
      return lost;
    }
    return ProviderError(messages::engine_failure, text, "");
  }
  const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
  // Every failure gets a German description; the server's own words follow
  // it, so nothing of the cause is lost.
  std::string_view german = messages::engine_failure;
  for (const auto& known : everyday)
    if (state && std::strncmp(state, known.sqlstate, std::strlen(known.sqlstate)) == 0) {
      german = known.german;
      break;
    }
  ProviderError error(german, primary, state ? state : "");
  if (server_side_stop(state)) error.set_stopped_by_server();
  return error;
}

}  // namespace kadrum::postgresql
