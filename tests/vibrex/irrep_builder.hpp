// Test support: stored irreps added to loaded fixture tables, their matrices given per operator
// as integer entries 0, 1 or -1 (the constants of the standard fixture).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "library/groups/space_group.hpp"
#include "tests/vibrex/loaded_fixture.hpp"

namespace vibrex::testing {

// Integer matrix by columns, n x n.
using IntMatrix = std::array<int, 9>;

inline int16_t constant_index(int v) {
  return static_cast<int16_t>(v == 0 ? kC0 : v == 1 ? kC1 : v == -1 ? kCm1 : throw std::invalid_argument("entry"));
}

// Stores irrep `irrep` of group sg with the given label, image and dimension (at most 3): the
// translation matrices the identity, the operator matrices from `matrix` (one per operator of the
// group in table order). Matrix storage is taken from `next_start` and `next_element` on.
class IrrepBuilder {
 public:
  explicit IrrepBuilder(LoadedTables& t) : t_(t) {}

  void add(int32_t irrep, int32_t sg, const std::string& label, int32_t image, int32_t dim,
           const std::function<IntMatrix(const sgl::SpaceOp&)>& matrix) {
    t_.irrep->irrep_sg(irrep) = static_cast<int16_t>(sg);
    t_.irrep->irrep_image(irrep) = static_cast<int16_t>(image);
    t_.image->image_dimension(image) = static_cast<int8_t>(dim);
    t_.image->image_reality_type(image) = 1;
    sgl::Text<8>& text = t_.irrep->irrep_label(irrep);
    for (int c = 0; c < 8; ++c) text.chars[c] = c < static_cast<int>(label.size()) ? label[c] : ' ';
    t_.irrep->irrep_matrix_first(irrep) = next_start_;
    int32_t nop = 0;
    std::array<sgl::SpaceOp, sgl::kMaxGroupOps> ops{};
    sgl::generate_space_group(*t_.space, sg, nop, ops);
    IntMatrix unit{};
    for (int i = 0; i < dim; ++i) unit[i * dim + i] = 1;
    for (int e = 0; e < 3 + nop; ++e) {
      const IntMatrix m = e < 3 ? unit : matrix(ops[e - 3]);
      t_.irrep->irrep_matrix_start(next_start_++) = next_element_;
      for (int x = 0; x < dim * dim; ++x) t_.irrep->irrep_matrix_element(next_element_++) = constant_index(m[x]);
    }
  }

  // The conventional integer matrix of an operator's point operation.
  IntMatrix rotation(const sgl::SpaceOp& op) const {
    IntMatrix m{};
    for (int j = 1; j <= 3; ++j)
      for (int i = 1; i <= 3; ++i) m[(j - 1) * 3 + i - 1] = t_.space->point_op_rot(i, j, op[4]);
    return m;
  }

 private:
  LoadedTables& t_;
  int32_t next_start_ = 20000;
  int32_t next_element_ = 100000;
};

}  // namespace vibrex::testing
