// The options of one run, as the keyword lines set them, with their defaults.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "library/types.hpp"

namespace duopath {

inline constexpr int32_t kMaxBondCases = 10;

// The largest cell size a run may search: crystal 1's short-vector list holds every vector with
// components 0 .. max_size, (max_size + 1)^3 - 1 of them ((max_size + 1)^2 with dim2), and its
// capacity is kMaxShortVectors (short_vectors.hpp), one million.
inline constexpr int32_t kLargestSize = 99;
inline constexpr int32_t kLargestSizeDim2 = 999;

// The prescribed part of the atom mapping ("map"): for atom i (1 .. atom_count) of crystal 1 in
// the common cell, the crystal-2 atom it must move to and the neighbour cell that partner must
// lie in (0 = any). Only the atoms that map lines name are held; every other atom has 0 and 0.
struct AtomMap {
  int32_t atom_count = 0;
  std::map<int32_t, std::array<int32_t, 2>> entries;

  int32_t partner(int32_t atom) const {
    auto it = entries.find(atom);
    return it == entries.end() ? 0 : it->second[0];
  }
  int32_t cell(int32_t atom) const {
    auto it = entries.find(atom);
    return it == entries.end() ? 0 : it->second[1];
  }
};

struct KeywordSettings {
  // "strain": bounds of matched length ratios and principal stretches.
  double min_strain = static_cast<double>(0.66f);
  double max_strain = 1.5;
  // "size": the cell sizes, in primitive cells of crystal 1, that the search walks; size_line is
  // the last "size" line (comment blanked, trailing blanks removed), which a refusal names.
  int32_t min_size = 1;
  int32_t max_size = 1;
  std::string size_line;
  // "bonds": conserve bonds shorter than bond_length.
  bool bonds_given = false;
  double bond_length = 0.0;
  // "bonds2": one bond case per line; type index 0 stands for any type.
  int32_t bond_case_count = 0;
  std::array<std::array<int32_t, 2>, kMaxBondCases> bond_case_types{};
  std::array<int32_t, kMaxBondCases> bond_case_neighbors{};
  std::array<double, kMaxBondCases> bond_case_max_change{};
  int32_t bond_neighbor_total = 0;
  // "shuffle"
  bool shuffle_given = false;
  double max_shuffle = 1e9;
  std::vector<double> type_max_shuffle;  // per atom type
  // "neighbor": lengths, or percentages of the mean nearest distance when the flag is set (the
  // last "neighbor" line decides for all of them).
  double min_distance = 0.0;
  std::vector<double> type_min_distance;  // per atom type
  bool min_distance_percent = false;
  // "trace"
  bool trace = false;
  bool trace_lattice1 = false;
  bool trace_lattice2 = false;
  bool trace_map = false;
  // "subgroup": the space-group numbers of the common subgroups that are reported.
  int32_t min_subgroup = 1;
  int32_t max_subgroup = 230;
  // "samevolume", "dim2"
  bool same_volume = false;
  bool dim2 = false;
  // "lattice": the subgroup and three lattice vectors per crystal, in the conventional basis of
  // that crystal, each in lowest terms with a positive denominator.
  bool lattice_given = false;
  int32_t lattice_subgroup = 0;
  std::array<std::array<sgl::RationalVector, 3>, 2> lattice_vectors{};
  // "output"
  bool output_atoms = false;
  bool output_map = false;
  // "map"
  bool map_given = false;
  AtomMap atom_map;
  // "kelmo": per type up to four electron counts, the first (s electrons) never 0 once given.
  bool use_kelmo = false;
  bool kelmo_table_made = false;
  std::vector<std::array<int32_t, 4>> kelmo_electrons;
  // "quanthop": per type its number, and the extra lines copied into the program's input.
  bool use_quanthop = false;
  bool quanthop_table_made = false;
  std::vector<int32_t> quanthop_type_numbers;
  std::vector<std::string> quanthop_extra_lines;  // 80 characters each
  // "madelung": per type its point charge.
  bool use_madelung = false;
  bool madelung_table_made = false;
  std::vector<double> madelung_charges;
};

// Counters of the run that the keyword phase starts and later phases advance.
struct RunCounters {
  int32_t tried_pair_count = 0;     // lattice pairs tried, numbered in the trace
  bool separator_due = true;        // a separator line before the next trace block
  int32_t trial_list_number = 0;    // running number of the listed trial lattices
};

}  // namespace duopath
