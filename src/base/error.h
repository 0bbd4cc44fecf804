// Kadrum's error type, and how an error becomes the text a user sees.
#pragma once

#include <exception>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kadrum {

// Every failure that ends an action is a kadrum::Error carrying the German
// message shown to the user. An error caused by another one is thrown with
// std::throw_with_nested, so the display can reach the innermost message.
class Error : public std::runtime_error {
 public:
  explicit Error(std::string_view message) : std::runtime_error(std::string(message)) {}
};

// A failure that belongs to one data line alone (a value text the
// conversion refuses, a line over the length limit), not to the file, the
// table or the database: a run that keeps rejected lines goes on after it.
class LineFault : public Error {
 public:
  using Error::Error;
};

// Fills the placeholders of a message format in order: each "%s", "%d" or
// "%g" takes the next argument as it is (numbers come already written). Extra arguments are ignored; a
// placeholder without an argument stays as it is.
std::string fill_message(std::string_view format,
                         std::initializer_list<std::string_view> args);

// The message of the innermost error of "error" (following nested errors),
// unless that message is empty, in which case the outer message is used. An
// exception that is no kadrum::Error gives a German text instead of its own:
// "Nicht genügend Arbeitsspeicher" for std::bad_alloc, "Unerwarteter interner
// Fehler" for any other.
std::string innermost_message(const std::exception& error);

// Appends a full stop when "text" is not empty and its last character lies
// above U+002E. Works on UTF-8: any multi-byte character is above U+002E.
std::string with_full_stop(std::string text);

// What the user is shown for "error": innermost message, then the full stop.
std::string display_text(const std::exception& error);

}  // namespace kadrum
