// Writes test crystals built by the library from Wyckoff positions given in "cinter", for an
// independent check of the groups and Wyckoff letters by another program.
//
// Usage: wyckoff_structures DATA_DIR structures [STRUCTURES_PER_GROUP]
//        wyckoff_structures DATA_DIR identify
//
// structures: for each space group and each of its structures: one atom on every Wyckoff position
// of the group (species = the position's index), with random parameters in "cinter"; every point of
// the orbit is evaluated in "cinter" and carried to "pml". The cell is the "pml" cell with a
// random metric that the group's rotations keep. Output, per structure:
//   structure GROUP INDEX
//   lattice  A1x A1y A1z  A2x A2y A2z  A3x A3y A3z    (the "pml" basis vectors, Cartesian)
//   atom W X Y Z                                      (one line per atom, "pml" fractions)
//   end
// Species W on position W, plus a second atom on the general position with species 100 + W,
// so that no structure has more symmetry than its group.
//
// identify: reads lines "GROUP X Y Z" (a point in "cinter") from standard input and writes, for
// each, the index of the Wyckoff position that the library identifies for it.
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>

#include "library/groups/change_setting.hpp"
#include "library/tables/common_space.hpp"
#include "library/tables/common_wyckoff.hpp"
#include "library/groups/id_wyckoff.hpp"
#include "library/groups/operator_encodings.hpp"
#include "library/groups/space_group.hpp"
#include "library/groups/wyckoff_orbits.hpp"

namespace {

using sgl::m4;
using Point = std::array<double, 3>;
using Mat = std::array<std::array<double, 3>, 3>;  // [row][column]

// A metric tensor that all rotations of the group (in "pml") keep: the average of R^T G0 R
// over the group for a random positive definite G0.
Mat invariant_metric(const sgl::CommonSpace& cs, int32_t g, std::mt19937& rng) {
  std::uniform_real_distribution<double> length(4.0, 7.0);
  std::uniform_real_distribution<double> skew(-1.2, 1.2);
  Mat a{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) a[i][j] = i == j ? length(rng) : skew(rng);
  Mat g0{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) g0[i][j] += a[k][i] * a[k][j];

  std::array<sgl::SpaceOp, sgl::kMaxGroupOps> ops;
  int32_t n = 0;
  sgl::generate_space_group(cs, g, n, ops);
  Mat sum{};
  for (int32_t o = 0; o < n; ++o) {
    sgl::OpMatrix m;
    sgl::op_to_mat(cs, g, "pml", ops[o], m);
    Mat r;
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) r[i][j] = static_cast<double>(m4(m, i + 1, j + 1)) / m4(m, 4, 4);
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j)
        for (int k = 0; k < 3; ++k)
          for (int l = 0; l < 3; ++l) sum[i][j] += r[k][i] * g0[k][l] * r[l][j];
  }
  for (auto& row : sum)
    for (double& v : row) v /= n;
  return sum;
}

// Basis vectors (rows) with the given metric: the Cholesky factor.
Mat basis_from_metric(const Mat& gm) {
  Mat l{};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j <= i; ++j) {
      double s = gm[i][j];
      for (int k = 0; k < j; ++k) s -= l[i][k] * l[j][k];
      l[i][j] = i == j ? std::sqrt(s) : s / l[j][j];
    }
  }
  return l;
}

void write_structures(const sgl::CommonSpace& cs, const sgl::CommonWyckoff& cw, int per_group) {
  std::mt19937 rng(1731);
  std::uniform_real_distribution<double> param(0.05, 0.45);
  std::bernoulli_distribution sign(0.5);
  for (int32_t g = 1; g <= sgl::kSpaceGroupCount; ++g) {
    for (int s = 1; s <= per_group; ++s) {
      const Mat basis = basis_from_metric(invariant_metric(cs, g, rng));
      std::printf("structure %d %d\nlattice", g, s);
      for (const auto& row : basis)
        for (double v : row) std::printf(" %.17g", v);
      std::printf("\n");
      const int32_t count = cw.wyc_count(g);
      // Every position once, then the general position (the last one) a second time.
      for (int32_t pass = 1; pass <= count + 1; ++pass) {
        const int32_t w = pass <= count ? pass : count;
        const int32_t species = pass <= count ? w : 100 + w;
        std::array<sgl::WyckoffMatrix, sgl::kMaxGroupOps> orbit;
        int32_t npos = 0;
        sgl::get_wyckoff_all(cs, cw, g, w, npos, orbit);
        Point x{};
        for (int j = 0; j < 3; ++j) x[j] = sign(rng) ? param(rng) : -param(rng);
        for (int32_t m = 0; m < npos; ++m) {
          sgl::WyckoffMatrix cinter;
          sgl::wyckoff_change_setting(cs, g, "pml", "cinter", orbit[m], cinter);
          Point pc, pp;
          sgl::dget_wyc_xyz(x, cinter, pc);
          sgl::dxyz_change_setting(cs, g, "cinter", "pml", pc, pp);
          std::printf("atom %d", species);
          for (double v : pp) std::printf(" %.17g", v - std::floor(v));
          std::printf("\n");
        }
      }
      std::printf("end\n");
    }
  }
}

void identify(const sgl::CommonSpace& cs, const sgl::CommonWyckoff& cw) {
  int g = 0;
  Point x;
  while (std::scanf("%d %lf %lf %lf", &g, &x[0], &x[1], &x[2]) == 4) {
    int32_t w = 0;
    Point params;
    sgl::id_wyckoff4d(cs, cw, g, x, "cinter", w, params);
    std::printf("%d\n", w);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 2 ? argv[2] : "";
  if (mode != "structures" && mode != "identify") {
    std::fprintf(stderr,
                 "usage: wyckoff_structures DATA_DIR structures [PER_GROUP]\n"
                 "       wyckoff_structures DATA_DIR identify\n");
    return 2;
  }
  auto cs = std::make_unique<sgl::CommonSpace>();
  auto cw = std::make_unique<sgl::CommonWyckoff>();
  sgl::load_common_space(argv[1], *cs);
  sgl::load_common_wyckoff(argv[1], *cw);
  if (mode == "structures")
    write_structures(*cs, *cw, argc > 3 ? std::atoi(argv[3]) : 2);
  else
    identify(*cs, *cw);
  return 0;
}
