// The 64 point operations among which cellsieve looks for symmetry: the 48 of the library's cubic
// list and the 16 of its hexagonal list that the cubic list lacks, read from "symmetry.dat" as
// Cartesian matrices, with their multiplication table and orders built from the library's
// product table of point operations.
//
// "symmetry.dat" holds 64 records in the order of the operation numbers 1..64; each record is a
// header line (name in columns 1-6, cubic number in 7-9, hexagonal number in 10-12, a blank
// field reading as 0) and nine reals in free format, the matrix by columns. Record 1 is the
// identity, records 1..48 are the cubic list in its numbering, and a record in both lists
// carries both numbers.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "cellsieve/real_helpers.hpp"
#include "library/tables/common_space.hpp"

namespace cellsieve {

inline constexpr int32_t kOpCount = 64;

struct PointOps {
  std::array<std::string, kOpCount> names;  // six characters each
  std::array<int32_t, kOpCount> cubic{};    // number in the cubic list (1..48), 0 for none
  std::array<int32_t, kOpCount> hex{};      // number in the hexagonal list (49..72), 0 for none
  std::array<Mat3, kOpCount> rot{};         // Cartesian matrix: x -> rot x
  std::array<int32_t, kOpCount * kOpCount> products{};
  std::array<int32_t, kOpCount> orders{};

  // 1-based views under the tables' names.
  const std::string& op_name(int32_t k) const { return names[k - 1]; }
  int32_t op_cubic(int32_t k) const { return cubic[k - 1]; }
  int32_t op_hex(int32_t k) const { return hex[k - 1]; }
  const Mat3& op_rot(int32_t k) const { return rot[k - 1]; }
  // The operation a applied after b; 0 when a and b lie in no common list.
  int32_t& op_product(int32_t a, int32_t b) { return products[(b - 1) * kOpCount + (a - 1)]; }
  int32_t op_product(int32_t a, int32_t b) const { return products[(b - 1) * kOpCount + (a - 1)]; }
  int32_t op_order(int32_t k) const { return orders[k - 1]; }
};

// Reads the 64 records of "symmetry.dat" in the directory (the file name appended directly) and
// builds the product table and the orders from the space block's point_op_product. A missing or
// short file or an unreadable field ends the run through the text layer (exit status 255).
// Records that break the file's promises stop the run with one line "Error in symmetry.dat:
// record <k> (<name>):  ..." (a cubic number other than the record's own in 1..48 or any after
// 48, a hexagonal number outside 49..72, a matrix entry that is not finite, powers that do not
// come back to record 1 within 64 steps; then, once the tables stand, a matrix that is not
// orthogonal with determinant +1 or -1, one that is not the library's operation of its cubic or
// hexagonal number in the Cartesian frame); two readings
// of one product that disagree stop it with error 015, a hexagonal product that no record carries
// with error 016.
void read_point_ops(std::string_view directory, const sgl::CommonSpace& space, PointOps& ops);

}  // namespace cellsieve
