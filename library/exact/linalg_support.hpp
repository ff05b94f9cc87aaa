// Internal helpers of the linear-algebra routines: the message lines written before a stop,
// checked 64-bit integer arithmetic, column-major work matrices and storage checks.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "library/exact/checked_int.hpp"
#include "library/types.hpp"

namespace sgl::linalg {

// The message lines of the linear-algebra routines, written as one free-format line each.
namespace msg {
inline constexpr std::string_view kNrow1TooSmall = "Error in solve_eqs_mod_int:  nrow1 too small";
inline constexpr std::string_view kNrow2TooSmall = "Error in solve_eqs_mod_int:  nrow2 too small";
inline constexpr std::string_view kNcol2TooSmall = "Error in solve_eqs_mod_int:  ncol2 too small";
inline constexpr std::string_view kNrow3TooSmall = "Error in solve_eqs_mod_int:  nrow3 too small";
inline constexpr std::string_view kZeroDenominator =
    "Error in solve_eqs_mod_int:  zero denominator";
inline constexpr std::string_view kRhsNotFinite =
    "Error in dsolve_eqs_mod_int:  right-hand side not finite";
inline constexpr std::string_view kCoordinateNotFinite =
    "Error in zero_to_one:  coordinate not finite";
}  // namespace msg

// Writes text as one free-format line on standard output and stops the run through bomb().
[[noreturn]] void stop_with_message(std::string_view text);

// Index of the 1-based entry (i, j) in a column-major array with leading dimension ld.
inline std::size_t at(int i, int j, int ld) { return column_major_index(i, j, ld); }

// Stops the run (bomb(), no message) when an array holds fewer than `needed` entries.
void require_storage(std::size_t size, std::int64_t needed);
// Entries a column-major matrix with `rows` rows, `cols` columns and leading dimension ld uses.
std::int64_t storage_needed(int rows, int cols, int ld);

// Lowers a finite v by 1 while lower(v) holds, then raises it by 1 while raise(v) holds. Both
// conditions must hold for every value beyond 2 in magnitude (lower above 2, raise below -2):
// such values first jump by a whole number into [1, 2) or (-2, -1]. Every single step on the
// way would have been exact and the loop would have gone on through all of them, so the result
// has the same bits as the steps alone, and huge values end too.
template <class Lower, class Raise>
double reduce_by_whole_steps(double v, Lower lower, Raise raise) {
  if (v > 2.0) v -= std::floor(v) - 1.0;
  if (v < -2.0) v += std::floor(-v) - 1.0;
  while (lower(v)) v -= 1.0;
  while (raise(v)) v += 1.0;
  return v;
}

// A dense column-major work matrix of 64-bit integers (entries (i, j) 1-based).
class WorkMatrix {
 public:
  WorkMatrix(int rows, int cols)
      : rows_(rows > 0 ? rows : 0),
        cols_(cols > 0 ? cols : 0),
        data_(static_cast<std::size_t>(rows_) * static_cast<std::size_t>(cols_), 0) {}
  std::int64_t& operator()(int i, int j) { return data_[index(i, j)]; }
  std::int64_t operator()(int i, int j) const { return data_[index(i, j)]; }
  int rows() const { return rows_; }
  int cols() const { return cols_; }
  void swap_rows(int r1, int r2);

 private:
  std::size_t index(int i, int j) const { return column_major_index(i, j, rows_); }
  int rows_;
  int cols_;
  std::vector<std::int64_t> data_;
};

// Copies rows 1..rows and columns 1..cols of a caller's matrix (leading dimension ld) into w,
// starting at column col0 of w, and back (a value beyond 32 bits stops the run as an overflow).
void load(WorkMatrix& w, std::span<const std::int32_t> a, int rows, int cols, int ld, int col0 = 1);
void store(const WorkMatrix& w, std::span<std::int32_t> a, int rows, int cols, int ld,
           const char* routine, int col0 = 1);

}  // namespace sgl::linalg
