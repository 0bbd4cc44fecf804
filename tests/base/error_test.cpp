#include "base/error.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace kadrum {
namespace {

std::string shown(const std::exception& e) { return display_text(e); }

TEST(ErrorDisplay, FullStopOnlyAfterCharactersAboveFullStop) {
  struct Case { const char* message; const char* expected; };
  const Case cases[] = {
      {"Fehler.", "Fehler."},        {"Fehler)", "Fehler)"},
      {"Fehler\n", "Fehler\n"},      {"Fehler ", "Fehler "},
      {"Fehler-", "Fehler-"},        {"Fehler,", "Fehler,"},
      {"Fehler'", "Fehler'"},        {"Fehler", "Fehler."},
      {"Fehler 7", "Fehler 7."},     {"Fehler?", "Fehler?."},
      {"Fehler:", "Fehler:."},       {"", ""},
      {"Größe ä", "Größe ä."},       {"/", "/."},
  };
  for (const auto& c : cases)
    EXPECT_EQ(shown(Error(c.message)), c.expected) << c.message;
}

TEST(ErrorDisplay, InnermostMessageWinsUnlessEmpty) {
  try {
    try {
      throw Error("innen");
    } catch (...) {
      std::throw_with_nested(Error("außen"));
    }
  } catch (const std::exception& e) {
    EXPECT_EQ(shown(e), "innen.");
  }
  try {
    try {
      throw Error("");
    } catch (...) {
      std::throw_with_nested(Error("außen"));
    }
  } catch (const std::exception& e) {
    EXPECT_EQ(shown(e), "außen.");
  }
}

TEST(ErrorDisplay, LibraryExceptionsShowAGermanText) {
  EXPECT_EQ(shown(std::bad_alloc()), "Nicht genügend Arbeitsspeicher.");
  EXPECT_EQ(shown(std::length_error("basic_string::_M_create")), "Unerwarteter interner Fehler.");
  try {
    try {
      throw std::bad_alloc();
    } catch (...) {
      std::throw_with_nested(Error("außen"));
    }
  } catch (const std::exception& e) {
    EXPECT_EQ(shown(e), "Nicht genügend Arbeitsspeicher.");
  }
}

TEST(FillMessage, PlaceholdersTakeArgumentsInOrder) {
  EXPECT_EQ(fill_message("'%s' ist kein gültiger Fließkommawert für Feld '%s'",
                         {"12.5", "W1"}),
            "'12.5' ist kein gültiger Fließkommawert für Feld 'W1'");
  EXPECT_EQ(fill_message("E/A-Fehler %d", {"13"}), "E/A-Fehler 13");
  EXPECT_EQ(fill_message("%s%%s", {"%s"}), "%s%%s");
}

}  // namespace
}  // namespace kadrum
