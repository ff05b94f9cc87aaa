// Why a search found no path. A run that ends with "done" and no path reads as "no transition
// exists", though the bounds of the run may have left everything out; so the search's steps are
// gone through in order, and the first at which nothing was left is named with the bound that
// emptied it. The lattice pair given with the keyword "lattice" is tested like any other (cell
// size, atom counts, the strain bounds on its pair distances and principal stretches); when it
// fails, the same tests are made again here, in the search's order, to name the one that failed.
#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

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

constexpr const char* kNoPath = "No path found: ";

// "a", "a or b", "a, b or c".
std::string alternatives(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t k = 0; k < items.size(); ++k) {
    if (k > 0) text += k + 1 == items.size() ? " or " : ", ";
    text += items[k];
  }
  return text;
}

// "size 2" or "sizes 1 to 3".
std::string size_range(int32_t first, int32_t last) {
  return first == last ? "size " + std::to_string(first)
                       : "sizes " + std::to_string(first) + " to " + std::to_string(last);
}

}  // namespace

void Run::explain_empty_search() const {
  if (report_rejected_lattice()) return;
  // A run that reported paths, one that stopped at the capacity of its trial-cell table (which
  // says so), and the trace options that list cells, pairs or mappings in place of paths need no
  // explanation.
  if (path_count > 0 || progress.table_full) return;
  if (settings.trace_lattice1 || settings.trace_lattice2 || settings.trace_map) return;
  sgl::write_line(6, "(a)", {kNoPath + empty_search_reason()});
}

std::string Run::empty_search_reason() const {
  const int32_t smallest = std::max(settings.min_size, 1);
  const int32_t largest = settings.max_size;
  const std::string sizes = size_range(smallest, largest);

  // Crystal 1's cell of size n holds a1 n atoms, a whole number of crystal 2's primitive cells of
  // a2 atoms when n is a multiple of a2 / gcd(a1, a2).
  const int64_t a1 = prepared[0].atom_count;
  const int64_t a2 = prepared[1].atom_count;
  const int64_t step = a2 / std::gcd(a1, a2);
  if ((smallest + step - 1) / step * step > largest) {
    const int32_t allowed = settings.dim2 ? kLargestSizeDim2 : kLargestSize;
    std::string why = "the cell " + sizes + (smallest == largest ? " holds" : " hold") +
                      " no whole number of primitive cells of crystal 2 (" + std::to_string(a1) +
                      (a1 == 1 ? " atom" : " atoms") + " in a primitive cell of crystal 1, " + std::to_string(a2) +
                      " in one of crystal 2); the sizes that do are the multiples of " + std::to_string(step);
    if (step <= allowed) return why + " (size " + std::to_string(step) + ")";
    return why + ", beyond the largest size allowed (" + std::to_string(allowed) + ")";
  }

  if (!pair_within_bounds) {
    return "no cell of crystal 2 matches a cell of crystal 1 of " + sizes + " within " + strain_bounds(settings) +
           ": widen them with strain";
  }

  if (mapping_number == 0) {
    const MappingRefusals& m = progress.mapping_refusals;
    std::vector<std::string> bounds;
    if (m.shuffle + progress.refused_shuffle > 0) bounds.emplace_back("shuffle");
    if (m.bond_change > 0) bounds.emplace_back("bonds2");
    if (m.bonds > 0) bounds.emplace_back("bonds");
    if (m.distance > 0) bounds.emplace_back("neighbor");
    std::vector<std::string> faults, remedies;
    if (!bounds.empty()) {
      faults.push_back((bounds.size() == 1 ? "breaks the bound of " : "breaks the bounds of ") + alternatives(bounds));
      remedies.emplace_back(bounds.size() == 1 ? "widen it" : "widen them");
    }
    if (m.map > 0) {
      faults.emplace_back("misses the partners prescribed with map");
      remedies.emplace_back("check the map");
    }
    if (progress.refused_smaller_cell > 0) {
      // Such a path belongs to a smaller size, which the run may have left out.
      if (smallest > 1) {
        faults.push_back("repeats a path of a cell smaller than " + sizes);
        remedies.emplace_back("start the sizes lower");
      } else {
        faults.emplace_back("repeats a path of a smaller cell");
      }
    }
    const std::string pairs = pairs_completed == 1 ? "the lattice pair"
                                                   : "the " + std::to_string(pairs_completed) + " lattice pairs";
    if (faults.empty()) return pairs + " within the strain bounds gave no atom mapping";
    std::string remedy;
    for (std::size_t k = 0; k < remedies.size(); ++k) remedy += (k == 0 ? ": " : ", or ") + remedies[k];
    return "every atom mapping of " + pairs + " within the strain bounds " + alternatives(faults) + remedy;
  }

  const int64_t n = progress.outside_subgroups;
  const std::string groups = progress.lowest_outside == progress.highest_outside
                                 ? "space group " + std::to_string(progress.lowest_outside)
                                 : "space groups " + std::to_string(progress.lowest_outside) + " to " +
                                       std::to_string(progress.highest_outside);
  return (n == 1 ? "the common subgroup of the path found (" + groups + ") lies"
                 : "the common subgroups of the " + std::to_string(n) + " paths found (" + groups + ") lie") +
         " outside the subgroup range " + std::to_string(settings.min_subgroup) + " to " +
         std::to_string(settings.max_subgroup) + ": widen it";
}

bool Run::report_rejected_lattice() const {
  if (!settings.lattice_given || settings.trace_lattice1 || pair_within_bounds) return false;
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
  if (why.empty()) return false;
  sgl::write_line(6, "(a)", {kRejected + why});
  return true;
}

}  // namespace duopath
