// The main window as designed, the one table both toolkits build it from:
// its caption and size, each control's kind, name, caption and place in
// creation order, and the order Tab moves in.
#pragma once

#include <array>
#include <cstddef>

#include "window/form.h"

namespace kadrum {

enum class ControlKind { label, edit, button, list, check };

struct ControlDesign {
  ControlKind kind;
  const char* name;     // Qt's object name; the form's fields are named alike
  const char* caption;  // ASCII; the list has none
  // Client pixels at 96 dpi. Labels grow to their text when a substitute
  // font needs more room.
  int left, top, width, height;
};

namespace control {
// The controls, in creation order, which is also drawing order.
enum Id : std::size_t {
  Label1, Label2, Label3, Label4, Label5, tabname, itmnr, Button1, Button2,
  dbname, imprtfile, Button3, nhdl, itemlist, CheckBox1, count
};
}  // namespace control

inline constexpr char kWindowCaption[] = "Kadrum";
inline constexpr int kClientWidth = 361;
inline constexpr int kClientHeight = 348;

// Indexed by control::Id. tests/window/win32/run_under_wine.sh reads the
// exit button's place from its line.
inline constexpr std::array<ControlDesign, control::count> kLayout{{
    {ControlKind::label, "Label1", "headlines:", 248, 22, 49, 13},
    {ControlKind::label, "Label2",
     "single item with year and day        or        list of max 3 items:", 24, 49, 288, 13},
    {ControlKind::label, "Label3", "data base file", 24, 129, 65, 13},
    {ControlKind::label, "Label4", "table name", 24, 172, 53, 13},
    {ControlKind::label, "Label5", "txt filename", 24, 3, 57, 13},
    {ControlKind::edit, "tabname", "tabname", 48, 191, 121, 21},
    {ControlKind::edit, "itmnr", "itmnr", 48, 68, 119, 21},
    {ControlKind::button, "Button1", "go", 48, 272, 121, 25},
    {ControlKind::button, "Button2", "db connect", 48, 241, 121, 25},
    {ControlKind::edit, "dbname", "dbname", 47, 148, 298, 21},
    {ControlKind::edit, "imprtfile", "imprtfile", 47, 19, 121, 21},
    {ControlKind::button, "Button3", "exit", 48, 303, 121, 25},
    {ControlKind::edit, "nhdl", "1", 311, 19, 26, 21},
    {ControlKind::list, "itemlist", "", 218, 68, 119, 65},
    {ControlKind::check, "CheckBox1", "recreate table", 48, 218, 97, 17},
}};

// Tab moves through every control but the labels in this order, not the
// screen's; the first one has the focus when the window opens.
inline constexpr std::array<control::Id, 10> kTabChain{
    control::tabname, control::itmnr,   control::Button1, control::Button2,  control::dbname,
    control::imprtfile, control::Button3, control::nhdl,  control::itemlist, control::CheckBox1};

// The control that holds "field".
constexpr control::Id control_of(Field field) {
  switch (field) {
    case Field::imprtfile: return control::imprtfile;
    case Field::nhdl: return control::nhdl;
    case Field::itmnr: return control::itmnr;
    case Field::dbname: return control::dbname;
    case Field::tabname: return control::tabname;
  }
  return control::tabname;
}

}  // namespace kadrum
