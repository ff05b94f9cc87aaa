// The numeric constant table.
#include "vibrex/constants.hpp"

#include <string>

#include "library/tables/data_directory.hpp"
#include "library/text/bomb.hpp"
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

void init_constants() {
  ConstCommon& c = const_common();
  const std::string path = sgl::data_directory() + "const.dat";
  const int32_t u = find_io_unit();
  int status = 0;
  sgl::open_unit(u, path, "OLD", "FORMATTED", &status);
  if (status != 0) {
    sgl::write_free(6, {"Error: cannot open file " + path});
    sgl::bomb();
  }
  int32_t n = 0;
  bool readable = false;
  for (;;) {
    float v = 0.0f;
    sgl::read_free(u, {n, v}, sgl::ReadHandling{&status});
    if (status == sgl::kStatusEnd) break;
    if (status != 0) continue;  // an unreadable line is skipped; n keeps what was assigned
    // The table holds 1000 entries: an index outside them would be stored out of bounds.
    if (n < 1 || n > kConstCapacity) bad_index(n);
    c.value(n) = v;
    readable = true;
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
