// One run of duopath: the run state and its phases, in the order in which they run.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <set>
#include <unordered_map>
#include <vector>

#include "duopath/common_cell.hpp"
#include "duopath/crystal_input.hpp"
#include "duopath/energy_estimates.hpp"
#include "duopath/lattice_pair.hpp"
#include "duopath/neighbor_list.hpp"
#include "duopath/prepared_crystal.hpp"
#include "duopath/short_vectors.hpp"
#include "duopath/keyword_line.hpp"
#include "duopath/keyword_settings.hpp"
#include "duopath/progress_timer.hpp"
#include "duopath/search_progress.hpp"
#include "library/text/text_io.hpp"

namespace duopath {

struct PathValues;

// The clocks a run reads: the wall clock for the date line and the time of day in seconds for
// the progress timer. Tests replace them.
struct RunClock {
  std::function<std::time_t()> wall = [] { return std::time(nullptr); };
  ProgressTimer::SecondsOfDay seconds_of_day;  // empty: the local time of day
};

class Run {
 public:
  static constexpr int kLogUnit = 30;
  static constexpr int32_t kWyckoffLetterCount = 27;

  explicit Run(RunClock clock = {});

  // The whole run: every phase in order, then the closing lines and the normal end.
  [[noreturn]] void execute();

  // Phases.
  void start_up();            // floating-point mode, log, banner, date line, data tables
  void read_crystals();       // title and both crystal blocks
  void read_keywords();       // keyword lines up to the end of input, then the size check
  void prepare_crystals();    // first preparation step
  void short_vectors();       // short-vector lists of both crystals
  void reference_energies();  // energies of both end structures by each method asked for
  void prepare_rotations();   // second preparation step
  void search();              // lattice pairs, common operations, atom mappings, paths
  // After a search that found no path (and was not cut short or held to a trace), one line on
  // standard output that says at which step it came up empty and which bound to widen.
  void explain_empty_search() const;
  std::string empty_search_reason() const;  // the line's text after "No path found: "
  // When the lattice pair given with "lattice" formed no pair within the bounds, says which bound
  // rejected it (standard output only); false when it says nothing.
  bool report_rejected_lattice() const;
  [[noreturn]] void closing_lines();

  // A report line: to standard output, then to the log, in the same layout.
  void report(std::string_view format, std::initializer_list<sgl::OutItem> items) const;
  void report_free(std::initializer_list<sgl::OutItem> items) const;

  // Run state.
  std::string wyckoff_letters;  // "a" .. "z", then "A"
  std::string data_directory;
  std::array<CrystalInput, 2> crystals;
  AtomTypes types;
  KeywordSettings settings;
  RunCounters counters;
  ProgressTimer timer;
  int32_t path_count = 0;
  int32_t mapping_number = 0;  // accepted mappings of the whole run
  ReferenceEnergies reference;  // energies of both end structures

  // Prepared crystals and what they share.
  std::array<PreparedCrystal, 2> prepared;
  std::vector<std::array<int32_t, 3>> neighbor_cells;  // components -1 .. 1, first slowest
  int32_t neighbor_cell_count = 0;
  int32_t max_type_name_length = 0;
  double mean_nearest_distance = 0.0;
  // The number of neighbour cell (t1, t2, t3), each component -1 .. 1; 0 when not in the list.
  int32_t neighbor_cell_index(int32_t t1, int32_t t2, int32_t t3) const;

  // Short vectors, and for each crystal-2 operator the position of every rotated crystal-2
  // vector in crystal 2's list (0: not in it), indexed [operator - 1][vector - 1].
  std::array<ShortVectorList, 2> short_lists;
  std::vector<std::vector<int32_t>> short_vector_images;
  // The first position of a vector in crystal 2's list, 0 when it is not there.
  int32_t crystal2_position(const std::array<int32_t, 3>& v) const;
  // Its tables: positions on a grid of the box of crystal 2's components (index by
  // components minus crystal2_low, the last fastest), or, for a box too large, by packed key.
  std::vector<int32_t> crystal2_grid;
  std::array<int32_t, 3> crystal2_low{};
  std::array<int32_t, 3> crystal2_extent{};
  std::unordered_map<int64_t, int32_t> crystal2_index;

  // The search: stored trial lattices (at most max_trial_lattices), the current pair, its common
  // cell and neighbour lists.
  int32_t max_trial_lattices = 999;
  std::vector<TrialLattice> trial_lattices;
  std::set<std::array<int64_t, 6>> known_lattices;  // forms of the stored lattices and their images
  LatticePair pair;
  CommonCell common;
  NeighborList neighbors;
  int64_t pairs_completed = 0;  // lattice pairs that reached the end of their phases
  bool pair_within_bounds = false;  // some lattice pair passed the strain bounds
  int64_t complete_mappings = 0;  // complete atom mappings of all pairs, accepted or not
  int64_t mapping_placements = 0;  // (partner, cell) placements of the atom-mapping searches
  SearchProgress progress;  // refusals at the later steps, for a search that finds no path
  // Called with every accepted mapping before its subgroup is sought (drivers and benchmarks
  // read the path from here; the run itself leaves it empty).
  std::function<void(const Run&, const PathValues&)> on_accepted_path;

  // Steps of the search, each on the current pair.
  enum class TrialOutcome { rejected, listed, accepted, table_full };
  void set_crystal1_triple(int32_t i1, int32_t i2, int32_t i3);  // sets vector_triple1 and cell1
  TrialOutcome trial_lattice(int32_t n);  // tests of the crystal-1 triple in pair.cell1
  // The lattice pairs of the current trial lattice: every crystal-2 triple in the candidate
  // ranges, in order, with the determinant taken as a dot product with a cross product formed
  // once per (j1, j2) and tested first, and the progress timer read once per batch of triples.
  void crystal2_triples();
  // The candidate ranges of the three columns (false: some column has none).
  bool candidate_ranges(std::array<int32_t, 3>& lo, std::array<int32_t, 3>& hi) const;
  // Whether crystal-2 vector j may stand in column c (0-based): dim2 layer and given lattice.
  bool column_fits(int c, int32_t j) const;
  // crystal2_triples for components that fit T (every determinant exact in T), over the
  // candidate ranges lo .. hi.
  template <typename T>
  void crystal2_triples_fast(const std::array<int32_t, 3>& lo, const std::array<int32_t, 3>& hi);
  // Sets vector_triple2 and cell2.
  void set_crystal2_triple(int32_t j1, int32_t j2, int32_t j3);
  // A crystal-2 triple whose cell has the right size and whose pair distances fit: the
  // stretches, the canonical test, then the later phases.
  void examine_pair();
  bool canonical_pair() const;            // no equivalent pair has a smaller crystal-2 triple
  bool common_cell();                     // false when the trace ends the pair here
  void output_atoms() const;
  void neighbor_lists();
  void mapping_paths();  // atom mappings of the pair, and the report of every accepted path
  void build_short_vector_images();

 private:
  void read_crystal_block(int crystal);
  void read_atom_line(int crystal, int32_t line_number, int32_t count);  // atom line line_number of count

  void read_keyword_lines();
  // Refuses a largest cell size beyond the capacity of the search, naming the "size" line.
  void check_size() const;

  // Keyword handlers; each gets the line with its words.
  void keyword_strain(const KeywordLine& line);
  void keyword_size(const KeywordLine& line);
  void keyword_bonds(const KeywordLine& line);
  void keyword_bonds2(const KeywordLine& line);
  void keyword_shuffle(const KeywordLine& line);
  void keyword_neighbor(const KeywordLine& line);
  void keyword_trace(const KeywordLine& line);
  void keyword_subgroup(const KeywordLine& line);
  void keyword_lattice(const KeywordLine& line);
  void keyword_output(const KeywordLine& line);
  // The block keywords read lines of their own.
  void keyword_map(const KeywordLine& line);
  void keyword_kelmo();
  void keyword_quanthop();
  void keyword_madelung();

  // Type line n of the block of an energy keyword: the line, and the type its first word names.
  KeywordLine read_type_line(int32_t n, std::string_view keyword, int32_t& type) const;

  RunClock clock_;
};

}  // namespace duopath
