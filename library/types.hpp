// Shared value types of the space-group library.
//
// All matrices are stored by columns, the way the data tables hold them: element (i, j)
// (1-based row i, column j) of an n x n matrix is at index (j - 1) * n + (i - 1).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace sgl {

// A logical value: 4 bytes in binary records and data tables (nonzero is true).
struct Logical {
  bool value = false;
};

// Integer 3x3 matrix, column-major.
using Mat3i = std::array<int32_t, 9>;

// Three numerators and their common denominator.
using RationalVector = std::array<int32_t, 4>;

// An operator as a 4x4 integer matrix, column-major: denominator times the affine matrix.
using OpMatrix = std::array<int32_t, 16>;

// Wyckoff position: column 1 the fixed point, columns 2-4 the free directions, each column
// with its own denominator in row 4 (0 marks an absent parameter).
using WyckoffMatrix = std::array<int32_t, 16>;

// Compact operator: three translation numerators, their denominator, the point-operation number.
using SpaceOp = std::array<int32_t, 5>;

// Index of the 1-based entry (i, j) of a column-major matrix whose columns are ld apart.
constexpr std::size_t column_major_index(int i, int j, int ld) {
  return static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(ld) + static_cast<std::size_t>(i - 1);
}

// 1-based element access of a column-major 3x3 or 4x4 matrix.
constexpr int32_t& m3(Mat3i& m, int i, int j) { return m[column_major_index(i, j, 3)]; }
constexpr int32_t m3(const Mat3i& m, int i, int j) { return m[column_major_index(i, j, 3)]; }
constexpr int32_t& m4(std::array<int32_t, 16>& m, int i, int j) { return m[column_major_index(i, j, 4)]; }
constexpr int32_t m4(const std::array<int32_t, 16>& m, int i, int j) { return m[column_major_index(i, j, 4)]; }

}  // namespace sgl
