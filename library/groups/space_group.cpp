// Operators and generators of a space group from the space-group tables.
#include "library/groups/space_group.hpp"

#include <array>
#include <string>

#include "library/exact/arithmetic.hpp"
#include "library/text/bomb.hpp"
#include "library/groups/change_setting.hpp"
#include "library/tables/common_space.hpp"
#include "library/text/text_io.hpp"

namespace sgl {

namespace {

// Record rec of the operator table, its five signed bytes widened.
SpaceOp table_op(const CommonSpace& cs, int32_t rec) {
  SpaceOp op{};
  for (int i = 1; i <= 5; ++i) op[i - 1] = cs.sg_op_table(i, rec);
  return op;
}

// Stops the run when a result list cannot take n entries.
void check_capacity(std::size_t capacity, int32_t n, std::string_view routine) {
  if (capacity < static_cast<std::size_t>(n)) {
    bomb_with_message({std::string("Error in ") + std::string(routine) + ": result list too short"});
  }
}

}  // namespace

void generate_space_group(const CommonSpace& cs, int32_t space_group, int32_t& nop,
                          std::span<SpaceOp> ops) {
  check_space_group_number(space_group, "generate_space_group");
  const int32_t n = cs.pg_order(cs.sg_point_group(space_group));
  check_capacity(ops.size(), n, "generate_space_group");
  const int32_t first = cs.sg_first_op(space_group);
  for (int32_t m = 1; m <= n; ++m) ops[m - 1] = table_op(cs, first + m - 1);
  nop = n;
}

void get_generators(const CommonSpace& cs, int32_t space_group, std::span<SpaceOp> generators,
                    std::string_view setting) {
  check_space_group_number(space_group, "get_generators");
  // The conventional variant: the first six characters, padded with blanks, made "c...".
  std::string conventional(setting.substr(0, 6));
  conventional.resize(6, ' ');
  conventional[0] = 'c';

  int32_t slot = 0;
  for (int32_t b = 1; b <= 5 && slot == 0; ++b)
    if (cs.generator_setting_name(b).view() == conventional) slot = b;
  if (slot == 0) bomb();

  const int32_t count = cs.pg_generator_count(cs.sg_point_group(space_group));
  check_capacity(generators.size(), count, "get_generators");
  const int32_t first = cs.sg_first_generator(space_group, slot);
  const bool primitive = !setting.empty() && setting.front() == 'p';
  for (int32_t m = 1; m <= count; ++m) {
    SpaceOp g = table_op(cs, first + m - 1);
    if (primitive) {
      op_change_setting(cs, space_group, conventional, setting, g, g);
      RationalVector t{g[0], g[1], g[2], g[3]};
      reduc2(t);
      reduc1(t);
      for (int i = 0; i < 4; ++i) g[i] = t[i];
    }
    generators[m - 1] = g;
  }
}

}  // namespace sgl
