// The point-operation table from "symmetry.dat".
#include "cellsieve/point_ops.hpp"

#include <cmath>
#include <string>

#include "cellsieve/errors.hpp"
#include "library/text/bomb.hpp"
#include "library/text/text_io.hpp"

namespace cellsieve {

namespace {

constexpr int kSymmetryUnit = 51;

[[noreturn]] void bad_record(int32_t k, std::string_view fault) {
  sgl::write_free(6, {"Error in symmetry.dat:  record " + std::to_string(k) + std::string(fault)});
  sgl::bomb();
}

// The promises the product lookups and the order walk index with.
void check_record(const PointOps& ops, int32_t k) {
  const int32_t want_cubic = k <= 48 ? k : 0;
  if (ops.op_cubic(k) != want_cubic)
    bad_record(k, k <= 48 ? ":  cubic number is not the record number"
                          : ":  cubic number after record 48");
  const int32_t h = ops.op_hex(k);
  if (h != 0 && (h < 49 || h > 72)) bad_record(k, ":  hexagonal number outside 49-72");
  for (double x : ops.op_rot(k))
    if (!std::isfinite(x)) bad_record(k, ":  matrix entry not finite");
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
  for (int32_t k = 1; k <= kOpCount; ++k) check_record(ops, k);

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
      if (m == 0) bad_record(k, ":  a power is not among the records");
      if (n > kOpCount) bad_record(k, ":  powers do not return to record 1");
    } while (m != 1);
    ops.orders[k - 1] = n;
  }
}

}  // namespace cellsieve
