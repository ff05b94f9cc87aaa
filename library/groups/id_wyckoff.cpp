// Wyckoff position and parameters of a point.
#include "library/groups/id_wyckoff.hpp"

#include <cmath>
#include <string>

#include "library/text/bomb.hpp"
#include "library/groups/change_setting.hpp"
#include "library/tables/common_wyckoff.hpp"
#include "library/exact/solve_eqs_mod_int.hpp"
#include "library/groups/space_group.hpp"
#include "library/text/text_io.hpp"
#include "library/groups/wyckoff_orbits.hpp"

namespace sgl {

double fold_wyckoff_parameter(double y, std::string_view routine) {
  if (!std::isfinite(y)) {
    bomb_with_message({std::string("Error in ") + std::string(routine) + ": value is not finite"});
  }
  // Every step of 1 below is exact, so the steps end on y minus a whole number; taking the whole
  // part off at once (fmod is exact) reaches the same value without running through it.
  if (std::fabs(y) > 1.0) y = std::fmod(y, 1.0);
  while (std::fabs(y - 1.0) < std::fabs(y)) y = y - 1.0;
  while (std::fabs(y + 1.0) < std::fabs(y)) y = y + 1.0;
  return y;
}

void id_wyckoff4d(const CommonSpace& cs, const CommonWyckoff& cw, int32_t space_group,
                  const std::array<double, 3>& point, std::string_view setting, int32_t& w,
                  std::array<double, 3>& params) {
  check_space_group_number(space_group, "id_wyckoff4d");
  for (double c : point) {
    if (!std::isfinite(c)) {
      bomb_with_message({"Error in id_wyckoff4d: coordinate is not finite"});
    }
  }
  std::array<double, 3> p;
  dxyz_change_setting(cs, space_group, setting, "pml", point, p);

  const int32_t count = cw.wyc_count(space_group);
  for (int32_t wi = 1; wi <= count; ++wi) {
    std::array<WyckoffMatrix, kMaxGroupOps> orbit;
    int32_t npos = 0;
    get_wyckoff_all(cs, cw, space_group, wi, npos, orbit);
    for (int32_t m = 0; m < npos; ++m) {
      const WyckoffMatrix& pos = orbit[m];
      Mat3i a;
      for (int j = 1; j <= 3; ++j)
        for (int i = 1; i <= 3; ++i) m3(a, i, j) = m4(pos, i, j + 1);
      std::array<double, 3> b;
      for (int i = 1; i <= 3; ++i)
        b[i - 1] =
            p[i - 1] - static_cast<double>(m4(pos, i, 1)) / static_cast<double>(m4(pos, 4, 1));
      std::array<double, 3> y{};
      int32_t flag = 1;
      dsolve_eqs_mod_int(3, 3, a, 3, b, y, flag);
      if (flag != 0) continue;
      for (int i = 0; i < 3; ++i) params[i] = fold_wyckoff_parameter(y[i], "id_wyckoff4d");
      w = wi;
      return;
    }
  }
  bomb();
}

}  // namespace sgl
