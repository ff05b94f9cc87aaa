// Path acceptance for one lattice pair: a complete atom mapping becomes a path (its mean
// displacement removed), its final shuffle is tested, the figures of the path report are computed,
// and the mapping is compared, under the operations that the two crystals and the common cell
// share, with the mappings already accepted for the pair. The same pass collects the path
// symmetry operators. At most 999 mappings of a pair are accepted; the 1000th stops the run.
#pragma once

#include <cstdint>
#include <vector>

#include "duopath/mapping_search.hpp"
#include "library/types.hpp"

namespace duopath {

inline constexpr int32_t kMaxSavedMappings = 1000;

// What acceptance reads besides the MappingInput of the pair. Sources: the lattice pair
// (cell_size, cell1, cell2, lattice_ops1), the common operations (common_ops, common_op_count),
// the common cell (internal_translations) and the prepared crystals (operators of crystal 2,
// nearest_distance of both). Vectors are indexed from 0.
struct PathInput {
  int32_t cell_size = 1;                  // lattice pair: primitive cells of crystal 1
  sgl::Mat3i cell1{};                     // lattice pair: common-cell vectors, crystal-1 primitive
  sgl::Mat3i cell2{};                     // lattice pair: the same in crystal-2 primitive basis
  // Common operations, in their order: the crystal-1 and crystal-2 parts (translation in
  // common-cell coordinates, translation normal form, and the point-operation number of that
  // crystal), and the rotation in common-cell coordinates, lattice_ops1 of the crystal-1
  // point-operation number. Operation 1 is the identity of both crystals.
  std::vector<sgl::SpaceOp> common_ops1;
  std::vector<sgl::SpaceOp> common_ops2;
  std::vector<sgl::Mat3i> common_rotations;
  // internal_translations: crystal 1's lattice vectors in the common cell, in common-cell
  // coordinates, translation normal form; entry 0 is the zero vector. cell_size entries.
  std::vector<sgl::RationalVector> internal_translations;
  // operators of crystal 2 in its primitive setting, table order.
  std::vector<sgl::SpaceOp> operators2;
  double nearest_distance1 = 0.0;         // prepared crystal 1
  double nearest_distance2 = 0.0;         // prepared crystal 2
};

// The values of the last complete mapping (valid until the next one). start and end are stage 2
// of common_positions for crystals 1 and 2; the later phases read them from here or from a copy.
struct PathValues {
  Vec3 mean_displacement{};
  std::vector<Vec3> start;                // stage 2 of common_positions, crystal 1
  std::vector<Vec3> end;                  // stage 2 of common_positions, crystal 2
  double max_atomic_shuffle = 0.0;
  double nearest_approach = 0.0;
  double max_bond_change = 0.0;           // only with bond slots
  int32_t bond_count = 0;
  int32_t broken_bond_count = 0;
  int32_t path_symmetry_count = 0;
  // path_symmetry_ops per crystal, translation in that crystal's primitive coordinates, lowest
  // terms (not taken modulo 1), and the point-operation number of that crystal.
  std::vector<sgl::SpaceOp> path_symmetry_ops1;
  std::vector<sgl::SpaceOp> path_symmetry_ops2;
};

// The fraction n/d with the smallest d from 1 to max_den that comes within 1e-6 of x
// (|d x - n| <= 1e-6, n rounded half away from zero); false when none fits.
bool fraction_of(double x, int32_t max_den, int32_t& numerator, int32_t& denominator);

// The largest denominator that the crystal-2 translation shift of a path symmetry may need.
int32_t shift_denominator_cap(int32_t cell_size, int32_t cell2_size);

class PathAcceptance {
 public:
  PathAcceptance(const MappingInput& mapping_input, const PathInput& path_input);

  // Empties the saved mappings (start of a lattice pair's search).
  void start_pair() { saved_count = 0; }

  // Judges a complete mapping. True when it is accepted: mapping_number and saved_count have
  // then grown by 1 and values holds the path. The 1000th acceptance writes
  // "Error: maxsave too small" to standard output and stops the run.
  bool accept(const AtomMapping& mapping, int32_t& mapping_number);

  PathValues values;
  int32_t saved_count = 0;
  // Complete mappings refused: by the shuffle limit once the mean displacement is removed, and as
  // a path that repeats within a smaller cell (a translation of crystal 1 inside the common cell
  // carries it onto itself). (A copy of a mapping accepted before needs no count: it follows an
  // accepted one.)
  int64_t refused_shuffle = 0;
  int64_t refused_smaller_cell = 0;

  // Displacement field of saved mapping s (0-based), atom i (0-based).
  const Vec3& saved(int32_t s, int32_t i) const {
    return saved_[static_cast<size_t>(s) * mi_.atom_count + i];
  }

 private:
  bool symmetry_pass();

  const MappingInput& mi_;
  const PathInput& pi_;
  std::vector<CellShift> cells_;
  int32_t home_;
  std::vector<Vec3> saved_;        // kMaxSavedMappings fields, grown on demand
  std::vector<Vec3> transformed_;  // the displacement field under the operation being tested
  std::vector<bool> hit_;
};

}  // namespace duopath
