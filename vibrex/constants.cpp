// The numeric constant table.
#include "vibrex/constants.hpp"

#include <cmath>
#include <string>
#include <string_view>

#include "library/tables/data_directory.hpp"
#include "library/text/bomb.hpp"
#include "library/text/characters.hpp"
#include "library/text/text_io.hpp"
#include "vibrex/numeric_kernel.hpp"
#include "vibrex/single_precision.hpp"

namespace vibrex {

namespace {

constexpr int32_t kFirstFreeUnit = 100;
constexpr int32_t kLastFreeUnit = 999;

[[noreturn]] void bad_index(int32_t n) {
  sgl::write_free(6, {"Error: invalid index in const.dat:", n});
  sgl::bomb();
}

void load_if_needed() {
  ConstCommon& c = const_common();
  if (c.const_loaded != 1) {
    c.const_loaded = 1;
    init_constants();
  }
}

}  // namespace

ConstCommon& const_common() {
  static ConstCommon table;
  return table;
}

int32_t find_io_unit() {
  for (int32_t u = kFirstFreeUnit; u <= kLastFreeUnit; ++u) {
    if (!sgl::unit_is_open(u)) return u;
  }
  sgl::bomb();
}

namespace {

// The longest line of "const.dat" that is read whole; a line is an index and a value.
constexpr std::size_t kConstLineWidth = 4096;

// A line that does not read as an index and a value is skipped, as it always was; but a mistyped
// value must not change the results unnoticed, so the skip is reported on standard error.
void report_skipped(const std::string& path, int32_t first, int32_t last, std::string_view text) {
  const std::string lines = first == last ? "line " + std::to_string(first)
                                          : "lines " + std::to_string(first) + "-" + std::to_string(last);
  sgl::write_line(0, "(a)",
                  {"Warning: " + lines + " of " + path + " skipped, not an index and a value: " + std::string(text)});
}

}  // namespace

void init_constants() {
  ConstCommon& c = const_common();
  const std::string path = sgl::data_directory() + "const.dat";
  const int32_t u = find_io_unit();
  int status = 0;
  sgl::open_unit(u, path, "OLD", "FORMATTED", &status, sgl::FileAccess::read_only);
  if (status != 0) {
    sgl::write_free(6, {"Error: cannot open file " + path});
    sgl::bomb();
  }
  // Each record is read in free format as an index n and a value v. The lines are read one by
  // one so that a skipped record can be named: a record whose line ends before its two values
  // goes on over the next lines, as a free-format read does.
  int32_t n = 0;
  bool readable = false;
  int32_t line_number = 0;
  for (bool at_end = false; !at_end;) {
    std::string record;
    int32_t first = line_number + 1;
    float v = 0.0f;
    for (;;) {
      std::string line(kConstLineWidth, ' ');
      sgl::read_line(u, "(a)", {line}, sgl::ReadHandling{&status});
      if (status == sgl::kStatusEnd) {
        // The file ends, perhaps within a record: n keeps what that record assigned.
        at_end = true;
        break;
      }
      ++line_number;
      if (status != 0) {
        report_skipped(path, first, line_number, sgl::trim_trailing_blanks(record + line));
        break;
      }
      // Blank lines before a record are not its own.
      if (sgl::trim_trailing_blanks(record).empty()) first = line_number;
      if (!record.empty()) record += ' ';
      record += sgl::trim_trailing_blanks(line);
      sgl::read_free_text(record, {n, v}, sgl::ReadHandling{&status});
      if (status == sgl::kStatusEnd) continue;  // the values go on over the next line
      if (status != 0) {
        report_skipped(path, first, line_number, record);  // n keeps what was assigned
        break;
      }
      // The table holds 1000 entries: an index outside them would be stored out of bounds.
      if (n < 1 || n > kConstCapacity) bad_index(n);
      // A value that is not a finite number would spread through every matrix that uses it.
      if (!std::isfinite(v)) {
        sgl::write_free(6, {"Error: invalid value on line " + std::to_string(line_number) + " of " + path + ": " +
                            record});
        sgl::bomb();
      }
      c.value(n) = v;
      readable = true;
      break;
    }
  }
  sgl::close_unit(u);
  if (!readable) {
    sgl::write_free(6, {"Error: no readable line in const.dat"});
    sgl::bomb();
  }
  // The count and the negated pairs must stay within the table: a last index of 1000 would count
  // 1001 entries and negate into entry 1001.
  if (n < 1 || n >= kConstCapacity) bad_index(n);
  c.const_count = n + 1;
  for (int32_t k = 1; k <= n / 2; ++k) c.value(2 * k + 1) = -c.value(2 * k);
}

float constant(int32_t i) {
  load_if_needed();
  ConstCommon& c = const_common();
  if (i < 1 || i > c.const_count) sgl::bomb();
  return c.value(i);
}

int32_t iconstant(float x) {
  load_if_needed();
  ConstCommon& c = const_common();
  for (int32_t i = 1; i <= c.const_count; ++i) {
    if (ncmp(store_single(wide(x) - wide(c.value(i)))) == 0) return i;
  }
  c.const_count += 1;
  if (c.const_count > kConstCapacity) {
    sgl::write_free(6, {"Error in iconstant:  array size too small"});
    sgl::bomb();
  }
  c.value(c.const_count) = x;
  return c.const_count;
}

}  // namespace vibrex
