// The message of the error an action raises, for tests that check what a user reads.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "host/Errors.h"

namespace sumora::test {

// The message of the EDatabaseError `action` raises ("" when it raises none, which fails the test).
template <class Action>
std::string DatabaseErrorOf(Action action) {
  try {
    action();
  } catch (const EDatabaseError& error) {
    return error.what();
  }
  ADD_FAILURE() << "no EDatabaseError was raised";
  return "";
}

}  // namespace sumora::test
