// Stored irreps.
#include "vibrex/stored_irrep.hpp"

#include <cstdlib>

#include "library/exact/arithmetic.hpp"
#include "library/text/bomb.hpp"
#include "vibrex/constants.hpp"
#include "vibrex/single_precision.hpp"

namespace vibrex {

namespace {

// The stored n x n matrix at an entry of irrep_matrix_start, by columns.
void read_matrix(const Tables& t, int32_t entry, int32_t n, StoredMatrix& m) {
  const int32_t start = t.irrep.irrep_matrix_start(entry);
  for (int32_t j = 0; j < n; ++j) {
    for (int32_t i = 0; i < n; ++i) m[j * kStoredLead + i] = constant(t.irrep.irrep_matrix_element(start + j * n + i));
  }
}

// a := b a over n x n; every element summed in double precision and stored once.
void multiply_left(const StoredMatrix& b, StoredMatrix& a, int32_t n) {
  StoredMatrix r{};
  for (int32_t j = 0; j < n; ++j) {
    for (int32_t i = 0; i < n; ++i) {
      double s = 0.0;
      for (int32_t k = 0; k < n; ++k) s += wide(b[k * kStoredLead + i]) * wide(a[j * kStoredLead + k]);
      r[j * kStoredLead + i] = store_single(s);
    }
  }
  a = r;
}

// a := t^k a over n x n. Up to kLiteralPowers the k left multiplications are done one by one,
// each product rounded to single precision as it is stored; a larger power (an operator many
// lattice steps from the listed one) is formed by repeated squaring, so that its cost grows with
// log k instead of k, and applied once.
constexpr int64_t kLiteralPowers = 64;

void apply_power(const StoredMatrix& t, int64_t k, StoredMatrix& a, int32_t n) {
  if (k <= kLiteralPowers) {
    for (int64_t step = 0; step < k; ++step) multiply_left(t, a, n);
    return;
  }
  StoredMatrix power{};
  for (int32_t i = 0; i < n; ++i) power[i * kStoredLead + i] = 1.0f;
  StoredMatrix square = t;
  for (int64_t rest = k;;) {
    if ((rest & 1) != 0) multiply_left(square, power, n);
    rest >>= 1;
    if (rest == 0) break;
    StoredMatrix next = square;
    multiply_left(square, next, n);
    square = next;
  }
  multiply_left(power, a, n);
}

}  // namespace

void get_irrep(const Tables& t, int32_t mode, int32_t irrep, const sgl::SpaceOp& op, float& character,
               StoredMatrix& matrix, int32_t& error) {
  error = 0;
  if (mode == 0) return;
  const sgl::CommonSpace& cs = t.space;
  const int32_t isg = t.irrep.irrep_sg(irrep);
  const int32_t first = cs.sg_first_op(isg);
  const int32_t order = cs.pg_order(cs.sg_point_group(isg));
  int32_t position = 0;
  for (int32_t r = first; r < first + order; ++r) {
    if (cs.sg_op_table(5, r) == op[4]) {
      position = r;
      break;
    }
  }
  if (position == 0) {
    error = 1;
    return;
  }
  const int32_t n = t.image.image_dimension(t.irrep.irrep_image(irrep));
  // The work matrices hold 24 rows and columns.
  if (n < 1 || n > kStoredLead) sgl::bomb();

  const int32_t e = t.irrep.irrep_matrix_first(irrep);
  StoredMatrix a{};
  read_matrix(t, e + 3 + (position - first), n, a);

  sgl::RationalVector d;
  sgl::vsub({op[0], op[1], op[2], op[3]},
            {cs.sg_op_table(1, position), cs.sg_op_table(2, position), cs.sg_op_table(3, position),
             cs.sg_op_table(4, position)},
            d);
  if (d[3] != 1) {
    error = 1;
    return;
  }
  for (int32_t axis = 0; axis < 3; ++axis) {
    if (d[axis] == 0) continue;
    StoredMatrix tm{};
    read_matrix(t, e + axis, n, tm);
    if (d[axis] < 0) {
      StoredMatrix tr{};
      for (int32_t j = 0; j < n; ++j)
        for (int32_t i = 0; i < n; ++i) tr[j * kStoredLead + i] = tm[i * kStoredLead + j];
      tm = tr;
    }
    apply_power(tm, std::llabs(static_cast<long long>(d[axis])), a, n);
  }

  if (mode == 1) {
    double s = 0.0;
    for (int32_t i = 0; i < n; ++i) s += wide(a[i * kStoredLead + i]);
    character = store_single(s);
  } else if (mode == 2) {
    for (int32_t j = 0; j < n; ++j) {
      for (int32_t i = 0; i < n; ++i) matrix[j * kStoredLead + i] = constant(iconstant(a[j * kStoredLead + i]));
    }
  } else {
    sgl::bomb();
  }
}

}  // namespace vibrex
