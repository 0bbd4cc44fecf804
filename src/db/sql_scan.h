// Reading SQL text as a database's lexer does, as far as Kadrum needs it:
// where strings, quoted names and comments begin and end. The one-statement
// check, the parameter-marker scan and the checks of table names all read
// the text through here, each engine with its dialect, so that they can
// never disagree about what is quoted.
#pragma once

#include <cstddef>
#include <string_view>

namespace kadrum {

// What a database's SQL treats as quoted or as a comment.
struct SqlDialect {
  std::string_view string_quotes;      // each opens a string it also closes
  std::string_view identifier_quotes;  // each opens a quoted name; "[" is closed by "]"
  bool backslash_escapes = false;      // "\" escapes the next character in every string
  bool escape_strings = false;         // E'…' strings, in which "\" escapes
  bool nested_comments = false;        // "/*" inside a block comment opens another
  bool dollar_quotes = false;          // $$…$$ and $tag$…$tag$ strings
  bool hash_comments = false;          // "#" begins a line comment
  // "--" begins a comment only before a blank, a control character or the
  // end, and "/*!" and "/*M!" open code the server runs, not a comment.
  bool mysql_comments = false;
};

// A doubled quote inside a string or quoted name stands for one in every
// dialect; "[…]" has no escape.
inline constexpr SqlDialect sqlite_sql{"'", "\"`[", false, false, false, false, false, false};
inline constexpr SqlDialect postgresql_sql{"'", "\"", false, true, true, true, false, false};
inline constexpr SqlDialect mysql_sql{"'\"", "`", true, false, false, false, true, true};
inline constexpr SqlDialect standard_sql{"'", "\"", false, false, false, false, false, false};
// SQL Server and Access name with brackets (Access with backticks as well).
inline constexpr SqlDialect microsoft_sql{"'", "\"[`", false, false, false, false, false, false};
// Where no engine is known yet (a command text before its connection
// opens): every quote Kadrum's engines know.
inline constexpr SqlDialect neutral_sql{"'", "\"`", false, false, false, false, false, false};

enum class SqlPieceKind {
  blank,      // one blank, tab, line end, form feed or vertical tab
  comment,    // a line or block comment, its end included
  quoted,     // a string or quoted name, its closing quote included
  semicolon,  // a ";" outside quotes and comments
  text,       // one character of anything else
};

struct SqlPiece {
  SqlPieceKind kind = SqlPieceKind::text;
  std::size_t end = 0;  // the position after the piece
};

// The piece of "sql" that begins at "at" (less than its size). A string,
// quoted name or comment that never closes runs to the end of the text.
// Never throws.
SqlPiece sql_piece_at(std::string_view sql, std::size_t at, const SqlDialect& dialect);

// Refuses (ProviderError) a text that holds no statement
// (messages::no_statement: only blanks, comments and semicolons), and one
// with anything but blanks, comments and semicolons after the ";" that
// ends its first statement (messages::second_statement), so that a name
// carrying "; drop table u" never adds a statement. Returns the statement
// without what follows it (blanks, comments, semicolons), for a driver
// that refuses even those.
std::string_view check_single_statement(std::string_view sql, const SqlDialect& dialect);

// Refuses (ProviderError, messages::second_statement) "tail", the text
// after a statement whose end the engine found itself, unless it holds
// only blanks, comments and semicolons.
void check_statement_tail(std::string_view tail, const SqlDialect& dialect);

// Refuses (kadrum::Error) a table name that would change the statements
// that recreate it: ";", "--", "/*" or a NUL byte anywhere would end the
// statement, hide its rest ("t --" drops t) or end the text the engine
// reads; a comment the dialect opens otherwise ("#") outside quotes, and
// with "in_name_list" (a statement that lists several tables) a "," outside
// quotes, would reach other tables. Returns when the name is sound.
void check_statement_name(std::string_view name, const SqlDialect& dialect,
                          bool in_name_list = false);

}  // namespace kadrum
