#include "db/sql_scan.h"

#include <string>

#include "base/error.h"
#include "base/messages.h"
#include "base/provider_error.h"

namespace kadrum {

namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// Letters, digits, "_", "$" and every byte of a UTF-8 sequence: what a
// name without quotes is made of.
bool is_word_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         c == '_' || c == '$' || static_cast<unsigned char>(c) >= 0x80;
}

bool is_tag_start(char c) { return is_word_char(c) && c != '$' && !(c >= '0' && c <= '9'); }

// The position after the quoted text that opens at "at" and closes with
// "close"; a doubled "close" stands for one, unless "close" is "]", and
// "backslash" lets a backslash escape the next character.
std::size_t after_quoted(std::string_view sql, std::size_t at, char close, bool backslash) {
  for (std::size_t i = at + 1; i < sql.size(); ++i) {
    if (backslash && sql[i] == '\\') {
      ++i;
    } else if (sql[i] == close) {
      if (close == ']' || i + 1 >= sql.size() || sql[i + 1] != close) return i + 1;
      ++i;
    }
  }
  return sql.size();
}

// The length of the dollar-quote tag ("$$" or "$tag$") at "at", or 0.
std::size_t dollar_tag_length(std::string_view sql, std::size_t at) {
  std::size_t i = at + 1;
  if (i < sql.size() && sql[i] != '$') {
    if (!is_tag_start(sql[i])) return 0;
    while (i < sql.size() && is_word_char(sql[i]) && sql[i] != '$') ++i;
  }
  if (i >= sql.size() || sql[i] != '$') return 0;
  return i + 1 - at;
}

std::size_t after_line_comment(std::string_view sql, std::size_t at) {
  const auto end = sql.find('\n', at);
  return end == std::string_view::npos ? sql.size() : end + 1;
}

std::size_t after_block_comment(std::string_view sql, std::size_t at, bool nested) {
  if (!nested) {
    const auto end = sql.find("*/", at + 2);
    return end == std::string_view::npos ? sql.size() : end + 2;
  }
  int depth = 0;
  for (std::size_t i = at; i + 1 < sql.size(); ++i) {
    if (sql[i] == '/' && sql[i + 1] == '*') {
      ++depth;
      ++i;
    } else if (sql[i] == '*' && sql[i + 1] == '/') {
      ++i;
      if (--depth == 0) return i + 1;
    }
  }
  return sql.size();
}

// Whether "--" at "at" opens a comment: MySQL wants a blank or a control
// character after it ("1--1" is a subtraction there).
bool opens_dash_comment(std::string_view sql, std::size_t at, const SqlDialect& dialect) {
  if (sql.substr(at, 2) != "--") return false;
  if (!dialect.mysql_comments || at + 2 >= sql.size()) return true;
  const auto next = static_cast<unsigned char>(sql[at + 2]);
  return next <= 0x20 || next == 0x7f;
}

}  // namespace

SqlPiece sql_piece_at(std::string_view sql, std::size_t at, const SqlDialect& dialect) {
  const char c = sql[at];
  if (is_blank(c)) return {SqlPieceKind::blank, at + 1};
  if (c == ';') return {SqlPieceKind::semicolon, at + 1};
  if (opens_dash_comment(sql, at, dialect) || (dialect.hash_comments && c == '#'))
    return {SqlPieceKind::comment, after_line_comment(sql, at)};
  if (sql.substr(at, 2) == "/*") {
    // MySQL runs what "/*!" and "/*M!" enclose: it is read as code, so
    // that no statement can hide in it.
    if (dialect.mysql_comments && (sql.substr(at, 3) == "/*!" || sql.substr(at, 4) == "/*M!"))
      return {SqlPieceKind::text, at + (sql[at + 2] == '!' ? 3 : 4)};
    return {SqlPieceKind::comment, after_block_comment(sql, at, dialect.nested_comments)};
  }
  if (dialect.string_quotes.find(c) != std::string_view::npos) {
    // E'…' (or e'…') is PostgreSQL's string with backslash escapes; "Fe'…'"
    // is a name and a string.
    const bool escape_string = dialect.escape_strings && c == '\'' && at > 0 &&
                               (sql[at - 1] == 'E' || sql[at - 1] == 'e') &&
                               !(at > 1 && is_word_char(sql[at - 2]));
    return {SqlPieceKind::quoted,
            after_quoted(sql, at, c, dialect.backslash_escapes || escape_string)};
  }
  if (dialect.identifier_quotes.find(c) != std::string_view::npos)
    return {SqlPieceKind::quoted, after_quoted(sql, at, c == '[' ? ']' : c, false)};
  if (dialect.dollar_quotes && c == '$' && !(at > 0 && is_word_char(sql[at - 1]))) {
    // "$1" is a parameter, and "t$1" a name; "$tag$" opens a string that
    // the same tag closes.
    if (const std::size_t tag = dollar_tag_length(sql, at)) {
      const auto close = sql.find(sql.substr(at, tag), at + tag);
      return {SqlPieceKind::quoted, close == std::string_view::npos ? sql.size() : close + tag};
    }
  }
  return {SqlPieceKind::text, at + 1};
}

void check_statement_tail(std::string_view tail, const SqlDialect& dialect) {
  for (std::size_t at = 0; at < tail.size();) {
    const SqlPiece piece = sql_piece_at(tail, at, dialect);
    if (piece.kind != SqlPieceKind::blank && piece.kind != SqlPieceKind::comment &&
        piece.kind != SqlPieceKind::semicolon)
      throw ProviderError(messages::second_statement);
    at = piece.end;
  }
}

std::string_view check_single_statement(std::string_view sql, const SqlDialect& dialect) {
  std::size_t end = 0;  // after the statement's last quoted or text piece
  for (std::size_t at = 0; at < sql.size();) {
    const SqlPiece piece = sql_piece_at(sql, at, dialect);
    if (piece.kind == SqlPieceKind::semicolon) {
      check_statement_tail(sql.substr(piece.end), dialect);
      break;
    }
    if (piece.kind == SqlPieceKind::quoted || piece.kind == SqlPieceKind::text) end = piece.end;
    at = piece.end;
  }
  if (end == 0) throw ProviderError(messages::no_statement);
  return sql.substr(0, end);
}

void check_statement_name(std::string_view name, const SqlDialect& dialect, bool in_name_list) {
  using namespace std::string_view_literals;
  for (const std::string_view piece : {"--"sv, "/*"sv, ";"sv, "\0"sv}) {
    if (name.find(piece) == std::string_view::npos) continue;
    // A message is a C string to its readers: a NUL is shown as "\0".
    std::string shown;
    for (char c : name) shown += c == '\0' ? std::string_view("\\0") : std::string_view(&c, 1);
    throw Error(fill_message(
        "Der Tabellenname '%s' wird abgelehnt: ';', '--', '/*' und Nullzeichen "
        "würden die Anweisungen zum Neuanlegen der Tabelle verändern",
        {shown}));
  }
  for (std::size_t at = 0; at < name.size();) {
    const SqlPiece piece = sql_piece_at(name, at, dialect);
    if (piece.kind == SqlPieceKind::comment || (in_name_list && name[at] == ',' &&
                                                piece.kind == SqlPieceKind::text))
      throw Error(fill_message(
          "Der Tabellenname '%s' wird abgelehnt: '#' und ',' würden die Anweisungen zum "
          "Neuanlegen der Tabelle verändern und andere Tabellen erreichen",
          {std::string(name)}));
    at = piece.end;
  }
}

}  // namespace kadrum
