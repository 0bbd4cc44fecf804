#include "cli/cli_options.h"

#include <charconv>
#include <string_view>
#include <system_error>

#include "base/error.h"
#include "cli/argument_file.h"
#include "cli/platform_text.h"

namespace kadrum {

namespace {

void check_combination(const CliOptions& options) {
  if (options.follow && options.single_transaction)
    throw Error("--follow und --single-transaction schließen einander aus: eine "
                "Transaktion, die nie endet, speichert nichts");
  if (options.dry_run && options.resume)
    throw Error("--dry-run speichert nichts und hat daher keinen Stand für --resume oder --follow");
  if (!options.status_file.empty() && !options.follow)
    throw Error("--status-file gibt es nur mit --follow");
  if (options.max_errors_given && !options.rejects)
    throw Error("--max-errors zählt abgewiesene Zeilen und gilt nur mit --rejects");
  if (options.dry_run && options.rejects)
    throw Error("--dry-run wandelt nichts um und weist daher keine Zeile ab; --rejects gilt nur "
                "beim Speichern");
  if (options.dry_run && options.json)
    throw Error("--dry-run schreibt die Zeilen auf die Standardausgabe; --json gilt nur beim "
                "Speichern");
  if (options.rejects && options.single_transaction && options.resume)
    throw Error("--rejects mit --resume und --single-transaction zusammen lässt sich in dieser "
                "Version nicht verbinden; bitte eines davon weglassen");
  if (!options.files_given) return;
  if (options.files.empty()) throw Error("Nach -- fehlt die Textdatei");
  for (const std::string& arg : options.arguments) {
    if (arg.size() >= 3 && (arg[0] == 'F' || arg[0] == 'f') && (arg[1] == 'N' || arg[1] == 'n') &&
        arg[2] == '=')
      throw Error("FN= und Textdateien nach -- schließen einander aus; bitte nur eines angeben");
  }
}

}  // namespace

namespace {

// "argv" with each --arguments-from=FILE before "--" replaced by the
// arguments in its file.
std::vector<std::string> with_argument_files(const std::vector<std::string>& argv) {
  std::vector<std::string> all;
  bool files = false;
  for (const std::string& arg : argv) {
    if (!files && arg.starts_with("--arguments-from=")) {
      for (std::string& read : read_argument_file(arg.substr(17))) {
        files = files || read == "--";
        all.push_back(std::move(read));
      }
      continue;
    }
    files = files || arg == "--";
    all.push_back(arg);
  }
  return all;
}

}  // namespace

CliOptions parse_cli_options(const std::vector<std::string>& given) {
  CliOptions options;
  for (const std::string& arg : with_argument_files(given)) {
    if (options.files_given) {
      options.files.push_back(arg);
    } else if (platform_text::asks_for_help(arg)) {
      options.help = true;
    } else if (arg == "-q") {
      options.quiet = true;
    } else if (arg == "--") {
      options.files_given = true;
    } else if (!arg.starts_with("--")) {
      options.arguments.push_back(arg);
    } else if (arg == "--dry-run") {
      options.dry_run = true;
    } else if (arg == "--create-database") {
      options.create_database = true;
    } else if (arg == "--single-transaction") {
      options.single_transaction = true;
    } else if (arg == "--resume") {
      options.resume = true;
    } else if (arg == "--follow") {
      options.follow = options.resume = true;
    } else if (arg.starts_with("--decimal=")) {
      options.decimal = arg.substr(10);
      if (options.decimal != "." && options.decimal != ",")
        throw Error(fill_message("%s: als Dezimaltrennzeichen sind nur Punkt und Komma möglich",
                                 {arg}));
    } else if (arg.starts_with("--status-file=")) {
      options.status_file = arg.substr(14);
      if (options.status_file.empty()) throw Error("--status-file= braucht einen Dateinamen");
    } else if (arg == "--rejects") {
      options.rejects = true;
    } else if (arg.starts_with("--max-errors=")) {
      const std::string number = arg.substr(13);
      std::uint64_t value = 0;
      const auto [end, failed] =
          std::from_chars(number.data(), number.data() + number.size(), value);
      if (number.empty() || failed != std::errc() || end != number.data() + number.size())
        throw Error(fill_message("%s: nach --max-errors= steht die Zahl der Zeilen, die "
                                 "abgewiesen werden dürfen (0 oder mehr)",
                                 {arg}));
      options.max_errors_given = true;
      options.max_errors = value;
    } else if (arg == "--quiet") {
      options.quiet = true;
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--help") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else {
      throw Error(fill_message(
          "Unbekannte Option '%s' (kadrum-cli --help zeigt die Optionen)",
          {arg}));
    }
  }
  check_combination(options);
  return options;
}

namespace {

// The help's first lines, which a call without any argument shows too.
constexpr std::string_view kUsage = R"(Aufruf: kadrum-cli [OPTION...] [ARGUMENT...]

Liest eine Textdatei, überspringt ihre Kopfzeilen und hängt für jede
Datenzeile einen Datensatz mit drei Werten an eine Tabelle einer
SQLite-Datenbank, eines PostgreSQL-Servers oder einer ODBC-Datenquelle
(MariaDB, MySQL, SQL Server, ...) an. Werte ("Items") sind
Folgen aus Ziffern, "-", "." und "/"; alles andere trennt sie.
)";

constexpr std::string_view kHelpRest = R"(
Argumente (Groß- und Kleinschreibung des Präfixes egal):
  DB=PFAD     SQLite-Datenbankdatei, oder eine PostgreSQL-Adresse
              postgresql://BENUTZER@RECHNER:PORT/DATENBANK (Kennwort
              besser in ~/.pgpass oder PGPASSWORD als in der Adresse),
              oder odbc: mit einer ODBC-Verbindungsangabe, z. B.
              odbc:DSN=lab oder "odbc:Driver={MariaDB Unicode};..."
  RT=NAME     Zieltabelle
  HD=N        Anzahl der Kopfzeilen (Vorgabe 1)
  FN=DATEI    Textdatei; leer: Standardeingabe
  IN=N        Einzelwertmodus: Item 1 (Jahr), Item 2 (Tag) und Item N
  I?=N        Listenmodus: je Argument eine Item-Nummer für die nächste
              Spalte (höchstens drei werden verwendet), z. B. I1=1 I2=2 I3=5
  *           Tabelle vorher löschen und neu anlegen (drei double-Spalten:
              yr, jday, sval im Einzelwertmodus; W1, W2, W3 im Listenmodus)
  GO, !       werden angenommen und ändern hier nichts
  Andere Argumente werden ignoriert.

Optionen:
  --dry-run          nichts speichern: jede Zeile als drei durch Tabulatoren
                     getrennte Werte auf die Standardausgabe schreiben
  --create-database  eine leere Datenbank anlegen, wenn DB= auf keine
                     vorhandene Datei, PostgreSQL- oder MariaDB-Datenbank
                     zeigt
  --single-transaction
                     alles oder nichts: Verbinden, Neuanlegen der Tabelle
                     und alle Datensätze in einer Transaktion; bei einem
                     Fehler, SIGINT oder SIGTERM bleibt die Tabelle, wie sie
                     war. Der schnelle Weg für große Dateien
  --resume           nur die Zeilen nach dem Stand jeder Textdatei speichern;
                     die Stände stehen in der Tabelle kadrum_checkpoints der
                     Datenbank und werden mit den Datensätzen gespeichert,
                     so kommt jede Zeile genau einmal an. Eine letzte Zeile
                     ohne Zeilenende wartet. Mit * beginnt alles von vorn
                     (nie in einem Auftrag, der neu startet)
  --follow           wie --resume, dann neue Zeilen speichern, sobald sie
                     angehängt werden, auch über Rotation hinweg; mit
                     Mustern nach -- auch Dateien, die später dazukommen.
                     SIGINT oder SIGTERM beenden es mit Exit-Status 0 (3,
                     wenn Zeilen abgewiesen wurden)
  --status-file=PFAD unter --follow den Stand jeder Datei als JSON nach PFAD
                     schreiben, nach jedem Speichern und mindestens alle
                     10 s ersetzt: {"time", "files": [{"path", "offset",
                     "size", "records", "rejected", "last_commit"}]}
  --rejects          eine Datenzeile, die kein Datensatz werden kann (ein
                     Wert, den die Umwandlung oder die Datenbank ablehnt,
                     eine zu lange Zeile), kommt mit Zeilennummer,
                     Byte-Position, Text und Grund in die Tabelle
                     kadrum_rejects der Datenbank, und der Lauf geht weiter;
                     mit --resume zusammen mit dem Stand, mit
                     --single-transaction in der einen Transaktion (nicht
                     mit beiden zugleich)
  --max-errors=N     mit --rejects: höchstens N Zeilen abweisen, über alle
                     Dateien; die nächste schlechte Zeile beendet den Lauf
                     wie ohne --rejects
  -q, --quiet        nach einem Lauf, der alles gespeichert hat, nichts auf
                     die Standardfehlerausgabe schreiben; Fehler, Hinweise
                     und die Zahl abgewiesener Zeilen erscheinen weiter
  --json             am Ende ein JSON-Objekt auf die Standardausgabe, auch
                     nach einem Fehler: records, rejected, seconds, exit,
                     message und files (je Datei path, records, rejected,
                     first_line, last_line)
  -- DATEI...        jedes Argument danach ist eine Textdatei; sie werden
                     nacheinander geladen, jede mit ihren Kopfzeilen (nicht
                     zusammen mit FN=). Ein Muster mit *, ? oder [...] löst
                     Kadrum selbst auf, innerhalb eines Pfadteils, in
                     Namensfolge ("logs/*.txt", in Anführungszeichen)
  --decimal=.        Werte mit Dezimalpunkt umwandeln, was immer das
  --decimal=,        Gebietsschema sagt (oder mit Dezimalkomma); das Komma
                     trennt dabei stets Items
  -h, --help         diesen Text zeigen
  --arguments-from=DATEI
                     die Argumente und Optionen aus DATEI lesen, eines je
                     Zeile, an dieser Stelle; Zeilen mit # am Anfang und
                     leere Zeilen zählen nicht (für Dienste und Aufgaben)
  --version          die Version zeigen
)";

constexpr std::string_view kExitStatus = R"(
Exit-Status:
  0  Erfolg
  1  Fehler; die Meldung steht auf der Standardfehlerausgabe, bei einer
     Datenzeile hinter Datei und Zeilennummer
  2  Aufruf ohne Argument und Option, eine unbekannte Option, oder
     Optionen, die sich nicht vertragen
  3  der Lauf ist zu Ende, hat aber Zeilen abgewiesen (--rejects); sie
     stehen in kadrum_rejects
)";

// The first example, which the usage shows too.
std::string first_example() {
  return "  kadrum-cli --create-database DB=co2.db RT=co2 HD=34 FN=co2_daily_mlo.txt IN=5 " +
         std::string(platform_text::star) + "\n";
}

}  // namespace

const std::string& cli_help_text() {
  static const std::string text = std::string(kUsage) + std::string(kHelpRest) +
                                  "\nBeispiele:\n" + first_example() +
                                  "  kadrum-cli DB=lab.db RT=co2 HD=34 IN=5 --resume -- \"logs/*.txt\"\n" +
                                  std::string(kExitStatus);
  return text;
}

std::string cli_usage_text() {
  return std::string(kUsage) + "\nkadrum-cli --help zeigt alle Argumente und Optionen. Beispiel:\n" +
         first_example();
}

}  // namespace kadrum
