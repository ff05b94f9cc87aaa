// What the columns of an irrep's block can show.
#include "vibrex/report_columns.hpp"

#include <algorithm>

#include "library/text/text_io.hpp"

namespace vibrex {

namespace {

int32_t digits(int32_t n) { return static_cast<int32_t>(std::to_string(n).size()); }

}  // namespace

void refuse_unprintable_coordinates(const Mat3f& vectors, std::span<const SupercellAtom> atoms, std::string_view where) {
  const auto refuse = [&](const char* what, float value) {
    sgl::stop_run(std::string("Error:  supercell too large for the report: ") + what + " of " +
                  sgl::value_text("(f15.5)", value) + ", beyond the -999.99999 to 9999.99999 of its columns" +
                  std::string(where));
  };
  for (const float e : vectors)
    if (!sgl::fits_field("(f10.5)", e)) refuse("a superlattice vector component", e);
  for (const SupercellAtom& atom : atoms)
    for (const float e : atom.position)
      if (!sgl::fits_field("(f10.5)", e)) refuse("an atom position component", e);
}

std::string atom_line_format(int32_t number) {
  const int32_t width = std::max(3, digits(number));
  return "(i" + std::to_string(width) + "," + std::to_string(std::max(1, 6 - width)) + "x,a4,3f10.5)";
}

std::string total_line_format(int32_t total) { return "(a23,i" + std::to_string(std::max(3, digits(total))) + ")"; }

}  // namespace vibrex
