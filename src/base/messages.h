// Kadrum's own German message texts, each written once. Placeholders are
// filled with fill_message: %s a text, %d a whole number, %g a number.
// Messages that only one place can raise and that read best beside their
// check stay there; every text that more than one place raises, or that
// more than one engine gives (SQLite, PostgreSQL, ODBC), lives here.
#pragma once

#include <string>
#include <string_view>

namespace kadrum::messages {

// Files and lines.
inline constexpr std::string_view file_not_found = "Die angegebene Datei wurde nicht gefunden";
inline constexpr std::string_view invalid_file_name = "Ungültiger Dateiname - %s";
inline constexpr std::string_view too_many_open_files = "Zu viele geöffnete Dateien";

// Numbers and values.
inline constexpr std::string_view not_an_integer = "'%s' ist kein gültiger Integerwert";
inline constexpr std::string_view argument_out_of_range = "Argument außerhalb des Bereichs";
inline constexpr std::string_view field_not_writable = "Feld '%s' kann nicht verändert werden";
inline constexpr std::string_view float_overflow = "Gleitkommaüberlauf";

// The database objects; the object's name and ": " stand before these.
inline constexpr std::string_view connection_open =
    "Operation bei geöffneter Verbindung nicht zulässig";
inline constexpr std::string_view connection_closed =
    "Operation bei geschlossener Verbindung nicht ausführbar";
inline constexpr std::string_view dataset_open = "Operation bei geöffneter Datenmenge nicht ausführbar";
inline constexpr std::string_view dataset_closed =
    "Operation bei geschlossener Datenmenge nicht ausführbar";
inline constexpr std::string_view dataset_read_only =
    "Eine Datenmenge, die nur zum Lesen ist, kann nicht geändert werden";
inline constexpr std::string_view not_inserting = "Datenmenge befindet sich nicht im Einfügemodus";
inline constexpr std::string_view property_missing = "Eigenschaft %s fehlt";

// "object: message": the messages of a database object's own checks carry
// its name ("access_con", "itab") in front.
inline std::string for_object(std::string_view object, std::string_view message) {
  std::string text(object);
  text += ": ";
  text += message;
  return text;
}

// What every engine says alike.
inline constexpr std::string_view no_statement = "Der Befehlstext enthält keine Anweisung";
inline constexpr std::string_view second_statement =
    "Nach der ersten Anweisung folgt weiterer Text; ein Befehl darf nur eine "
    "Anweisung enthalten";
inline constexpr std::string_view takes_no_records = "Die Datenmenge nimmt keine neuen Datensätze auf";
inline constexpr std::string_view table_missing = "Die Tabelle gibt es in der Datenbank nicht";
inline constexpr std::string_view database_read_only = "In die Datenbank kann nicht geschrieben werden";
inline constexpr std::string_view database_locked =
    "Die Datenbank ist von einem anderen Programm gesperrt";
inline constexpr std::string_view disk_full = "Der Datenträger oder die Datenbank ist voll";
inline constexpr std::string_view constraint_violated =
    "Ein Datensatz verletzt eine Bedingung der Tabelle";
inline constexpr std::string_view value_mismatch = "Ein Wert passt nicht zu seiner Spalte";
inline constexpr std::string_view statement_faulty = "Die Anweisung ist fehlerhaft";
inline constexpr std::string_view no_permission = "Dem Benutzer fehlt die Berechtigung dafür";
// Before an engine's own text when no more telling description fits.
inline constexpr std::string_view engine_failure = "Die Datenbank meldet einen Fehler";

// What any program shows for a failure that is not Kadrum's own.
inline constexpr std::string_view out_of_memory = "Nicht genügend Arbeitsspeicher";
inline constexpr std::string_view internal_error = "Unerwarteter interner Fehler";

}  // namespace kadrum::messages
