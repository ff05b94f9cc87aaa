// The point-operation table from "symmetry.dat".
#include "cellsieve/point_ops.hpp"

#include <cmath>
#include <string>

#include "cellsieve/errors.hpp"
#include "library/text/bomb.hpp"
#include "library/text/characters.hpp"
#include "library/text/text_io.hpp"

namespace cellsieve {

namespace {

constexpr int kSymmetryUnit = 51;

// How far a matrix entry of the file may lie from the exact value (the file gives sqrt(3)/2 to
// about 16 digits).
constexpr double kMatrixTolerance = 1e-6;

// The record's number and its name as the header line gives it, trailing blanks removed.
std::string record_label(const PointOps& ops, int32_t k) {
  const std::string_view name = sgl::trim_trailing_blanks(ops.op_name(k));
  return "record " + std::to_string(k) + " (" + std::string(name) + ")";
}

[[noreturn]] void bad_record(const PointOps& ops, int32_t k, std::string_view fault) {
  sgl::write_free(6, {"Error in symmetry.dat:  " + record_label(ops, k) + std::string(fault)});
  sgl::bomb();
}

// The library's matrix of a point operation in its conventional axes, in the Cartesian frame of
// the file: the cubic axes are the Cartesian ones, the hexagonal axes are a = (1, 0, 0),
// b = (-1/2, sqrt(3)/2, 0), c = (0, 0, 1), so the Cartesian matrix is H M H^-1.
Mat3 library_matrix(const sgl::CommonSpace& space, int32_t number) {
  Mat3 m{};
  for (int j = 1; j <= 3; ++j)
    for (int i = 1; i <= 3; ++i) at(m, i, j) = space.point_op_rot(i, j, number);
  if (number <= 48) return m;
  const double r = std::sqrt(3.0) / 2.0;
  const Mat3 h = {1.0, 0.0, 0.0, -0.5, r, 0.0, 0.0, 0.0, 1.0};
  const Mat3 h_inv = {1.0, 0.0, 0.0, 1.0 / (2.0 * r), 1.0 / r, 0.0, 0.0, 0.0, 1.0};
  matrix_mlt(m, h_inv, m);
  matrix_mlt(h, m, m);
  return m;
}

bool close_to(const Mat3& a, const Mat3& b) {
  for (int i = 0; i < 9; ++i)
    if (!(std::fabs(a[i] - b[i]) <= kMatrixTolerance)) return false;
  return true;
}

// The promises the product lookups and the order walk index with.
void check_numbers(const PointOps& ops, int32_t k) {
  const int32_t want_cubic = k <= 48 ? k : 0;
  if (ops.op_cubic(k) != want_cubic)
    bad_record(ops, k, k <= 48 ? ":  cubic number is not the record number"
                               : ":  cubic number after record 48");
  const int32_t h = ops.op_hex(k);
  if (h != 0 && (h < 49 || h > 72)) bad_record(ops, k, ":  hexagonal number outside 49-72");
  for (double x : ops.op_rot(k))
    if (!std::isfinite(x)) bad_record(ops, k, ":  matrix entry not finite");
}

// What the search relies on in the matrix: a rotation or rotoinversion (orthogonal, determinant
// +1 or -1) and the very operation that the record's numbers name. A damaged matrix (a free-format read cut short by a slash, a mistyped or swapped
// entry) would otherwise give a wrong point-operation table and a confident wrong group.
void check_matrix(const PointOps& ops, const sgl::CommonSpace& space, int32_t k) {
  const Mat3& r = ops.op_rot(k);
  Mat3 rt{};
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) at(rt, i, j) = at(r, j, i);
  Mat3 gram{};
  matrix_mlt(rt, r, gram);
  if (!close_to(gram, kIdentity3) || !(std::fabs(std::fabs(detmat(r)) - 1.0) <= kMatrixTolerance))
    bad_record(ops, k, ":  matrix is not orthogonal with determinant +1 or -1");
  for (int32_t number : {ops.op_cubic(k), ops.op_hex(k)})
    if (number != 0 && !close_to(r, library_matrix(space, number)))
      bad_record(ops, k, ":  matrix is not the operation " + std::to_string(number) + " of the library");
}

}  // namespace

void read_point_ops(std::string_view directory, const sgl::CommonSpace& space, PointOps& ops) {
  sgl::open_unit(kSymmetryUnit, std::string(directory) + "symmetry.dat", "OLD", "FORMATTED", nullptr,
                 sgl::FileAccess::read_only);
  for (int32_t k = 1; k <= kOpCount; ++k) {
    std::string& name = ops.names[k - 1];
    name.assign(6, ' ');
    sgl::read_line(kSymmetryUnit, "(a6,i3,i3)", {name, ops.cubic[k - 1], ops.hex[k - 1]});
    Mat3& m = ops.rot[k - 1];
    sgl::read_free(kSymmetryUnit, {m[0], m[1], m[2], m[3], m[4], m[5], m[6], m[7], m[8]});
  }
  sgl::close_unit(kSymmetryUnit);
  for (int32_t k = 1; k <= kOpCount; ++k) check_numbers(ops, k);

  for (int32_t i = 1; i <= kOpCount; ++i)
    for (int32_t j = 1; j <= kOpCount; ++j) {
      int32_t& prod = ops.op_product(j, i);
      prod = 0;
      if (ops.op_cubic(i) != 0 && ops.op_cubic(j) != 0) prod = space.point_op_product(j, i);
      if (ops.op_hex(i) != 0 && ops.op_hex(j) != 0) {
        const int32_t p = space.point_op_product(ops.op_hex(j), ops.op_hex(i));
        if (prod == 0) {
          for (int32_t k = 1; k <= kOpCount && prod == 0; ++k)
            if (ops.op_hex(k) == p) prod = k;
          if (prod == 0) numbered_error(16);
        } else if (ops.op_hex(prod) != p) {
          numbered_error(15);
        }
      }
    }

  ops.orders[0] = 1;
  for (int32_t k = 2; k <= kOpCount; ++k) {
    int32_t m = k;
    int32_t n = 1;
    do {
      m = ops.op_product(k, m);
      ++n;
      if (m == 0) bad_record(ops, k, ":  a power is not among the records");
      if (n > kOpCount) bad_record(ops, k, ":  powers do not return to record 1");
    } while (m != 1);
    ops.orders[k - 1] = n;
  }
  for (int32_t k = 1; k <= kOpCount; ++k) check_matrix(ops, space, k);
}

}  // namespace cellsieve
