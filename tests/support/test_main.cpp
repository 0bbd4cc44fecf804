// The main of every GoogleTest program: the same locale for every test.
#include <gtest/gtest.h>

#include "support/locale.h"

int main(int argc, char** argv) {
  kadrum::testing::use_test_locale();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
