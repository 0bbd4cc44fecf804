// What a failing call says.
#pragma once

#include <string>

#include "base/error.h"

namespace kadrum::testing {

// The message of the kadrum::Error that "action" throws; "(no error)" when
// it returns.
template <typename Action>
std::string message_of(Action&& action) {
  try {
    action();
  } catch (const Error& error) {
    return error.what();
  }
  return "(no error)";
}

}  // namespace kadrum::testing
