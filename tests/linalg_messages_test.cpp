// The message lines that the linear-algebra routines write before they stop.
#include <gtest/gtest.h>

#include <string>

#include "tests/text_io_child.hpp"

namespace {

TEST(LinalgMessages, OneFreeFormatLineThenTheStop) {
  struct Case {
    const char* which;
    const char* message;
  };
  const Case cases[] = {
      {"nrow1", "Error in solve_eqs_mod_int:  nrow1 too small"},
      {"nrow2", "Error in solve_eqs_mod_int:  nrow2 too small"},
      {"ncol2", "Error in solve_eqs_mod_int:  ncol2 too small"},
      {"nrow3", "Error in solve_eqs_mod_int:  nrow3 too small"},
      {"dsolve_nrow1", "Error in solve_eqs_mod_int:  nrow1 too small"},
      {"zero_m", "Error in solve_eqs_mod_int:  zero denominator"},
      {"dsolve_inf", "Error in dsolve_eqs_mod_int:  right-hand side not finite"},
      {"wrap_nan", "Error in zero_to_one:  coordinate not finite"},
      {"overflow", "Error: integer overflow in rowop2"},
      {"smith_overflow", "Error: integer overflow in smith_normal_form"},
  };
  const std::string driver = std::string(SGL_DRIVER_DIR) + "/linalg_driver";
  for (const Case& c : cases) {
    const auto r = text_io_test::run_child({driver, c.which});
    EXPECT_EQ(r.out, std::string(" ") + c.message + "\nThis program has bombed\nexit\n") << c.which;
    EXPECT_EQ(r.err, " STOP  \n") << c.which;
  }
}

}  // namespace
