// Why the lattice pair given with the keyword "lattice" formed no pair: the search tests it like
// any other (cell size, atom counts, the strain bounds on its pair distances and principal
// stretches), and a pair that fails leaves a report without a path. The same tests are made
// again here, in the search's order, to name the one that failed.
#include <algorithm>
#include <string>

#include "duopath/run.hpp"
#include "library/geometry/magic_strain.hpp"
#include "library/geometry/real_vector.hpp"
#include "library/text/text_io.hpp"

namespace duopath {

namespace {

constexpr const char* kRejected = "The lattice given with the keyword lattice was rejected: ";

// A real in the layout f8.3, without its leading blanks.
std::string fixed3(double value) { return sgl::value_text("(f8.3)", value); }

std::string strain_bounds(const KeywordSettings& s) {
  return "the strain bounds " + fixed3(s.min_strain) + " to " + fixed3(s.max_strain);
}

}  // namespace

void Run::report_rejected_lattice() const {
  if (!settings.lattice_given || settings.trace_lattice1 || pair_within_bounds) return;
  std::array<sgl::Mat3i, 2> cells{};
  std::array<std::array<double, 9>, 2> cartesian{};
  for (int c = 0; c < 2; ++c) {
    for (int j = 0; j < 3; ++j) {
      for (int i = 0; i < 3; ++i) {
        cells[c][j * 3 + i] = short_lists[c].vectors[static_cast<std::size_t>(j)][i];
        cartesian[c][j * 3 + i] = short_lists[c].cartesian[static_cast<std::size_t>(j)][i];
      }
    }
  }
  const int64_t size1 = cell_determinant(cells[0]);
  const int64_t size2 = cell_determinant(cells[1]);
  const int32_t smallest = std::max(settings.min_size, 1);
  std::string why;
  if (size1 < smallest || size1 > settings.max_size) {
    why = "its cell size " + std::to_string(size1) + " lies outside the size range " + std::to_string(smallest) +
          " to " + std::to_string(settings.max_size);
  } else if (prepared[0].atom_count * size1 != prepared[1].atom_count * size2) {
    why = "its cells hold " + std::to_string(prepared[0].atom_count * size1) + " atoms in crystal 1 and " +
          std::to_string(prepared[1].atom_count * size2) + " in crystal 2";
  } else {
    static constexpr int kPairs[3][2] = {{1, 0}, {2, 0}, {2, 1}};
    for (const auto& ab : kPairs) {
      std::array<std::array<double, 3>, 2> d{};
      for (int c = 0; c < 2; ++c) {
        sgl::dvsub(short_lists[c].cartesian[static_cast<std::size_t>(ab[0])],
                   short_lists[c].cartesian[static_cast<std::size_t>(ab[1])], d[c], 3);
      }
      const double ratio = sgl::vlength(3, d[1]) / sgl::vlength(3, d[0]);
      if (!(ratio >= settings.min_strain && ratio <= settings.max_strain)) {
        why = "the distance of its vectors " + std::to_string(ab[0] + 1) + " and " + std::to_string(ab[1] + 1) +
              " changes by the ratio " + fixed3(ratio) + ", outside " + strain_bounds(settings);
        break;
      }
    }
    if (why.empty()) {
      std::array<double, 3> stretches{};
      std::array<double, 9> cell2 = cartesian[1];
      sgl::magic_strain(cartesian[0], cell2, stretches);
      bool within = true;
      for (double x : stretches) within = within && x >= settings.min_strain && x <= settings.max_strain;
      if (!within) {
        why = "its principal stretches " + fixed3(stretches[0]) + ", " + fixed3(stretches[1]) + ", " +
              fixed3(stretches[2]) + " lie outside " + strain_bounds(settings);
      } else if (settings.dim2) {
        why = "with dim2 each vector of crystal 2 must have the third component of its partner";
      }
    }
  }
  if (!why.empty()) sgl::write_line(6, "(a)", {kRejected + why});
}

}  // namespace duopath
