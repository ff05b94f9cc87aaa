// Synthetic atom-mapping search: a two-type checkerboard supercell of a simple cubic lattice with
// N = 4 to 16 atoms, mapped onto a strained copy whose atoms are slightly displaced, under a
// shuffle and a distance limit. Prints per N the trials, placements, complete mappings, the time
// and the placements per second of the search alone.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "duopath/mapping_search.hpp"

int main(int argc, char** argv) {
  const double shuffle = argc > 1 ? std::atof(argv[1]) : 0.55;  // in units of the lattice spacing
  struct Size {
    int n1, n2, n3;
  };
  const Size sizes[] = {{2, 2, 1}, {3, 2, 1}, {2, 2, 2}, {5, 2, 1}, {3, 2, 2}, {7, 2, 1}, {4, 2, 2}};
  const double a = 2.8;
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::printf("%4s %12s %12s %10s %9s %14s\n", "N", "trials", "placements", "complete", "seconds",
              "placements/s");
  for (const Size& s : sizes) {
    std::mt19937 rng(12345);
    std::uniform_real_distribution<double> noise(-0.02, 0.02);
    duopath::MappingInput in;
    in.atom_count = s.n1 * s.n2 * s.n3;
    for (int i = 0; i < s.n1; ++i) {
      for (int j = 0; j < s.n2; ++j) {
        for (int k = 0; k < s.n3; ++k) {
          const duopath::Vec3 x{(i + 0.25) / s.n1, (j + 0.25) / s.n2, (k + 0.25) / s.n3};
          const int32_t type = (i + j + k) % 2 + 1;
          in.types1.push_back(type);
          in.types2.push_back(type);
          in.positions1.push_back(x);
          in.positions2.push_back({x[0] + noise(rng) / s.n1, x[1] + noise(rng) / s.n2, x[2] + noise(rng) / s.n3});
        }
      }
    }
    in.cartesian_cell1 = {a * s.n1, 0, 0, 0, a * s.n2, 0, 0, 0, a * s.n3};
    in.cartesian_cell2 = {1.04 * a * s.n1, 0, 0, 0, 0.97 * a * s.n2, 0, 0, 0, 0.99 * a * s.n3};
    for (int i = 0; i < 9; ++i) in.metric2[i] = 0.0;
    for (int i = 0; i < 3; ++i) in.metric2[i * 4] = in.cartesian_cell2[i * 4] * in.cartesian_cell2[i * 4];
    in.type_count = 2;
    in.min_distance = 0.5 * a;
    in.shuffle_given = true;
    in.max_shuffle = shuffle * a;
    duopath::MappingSearch search(in);
    const auto t0 = std::chrono::steady_clock::now();
    search.run([](const duopath::AtomMapping&) {});
    const double sec = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("%4d %12lld %12lld %10lld %9.3f %14.0f\n", in.atom_count,
                static_cast<long long>(search.trial_count), static_cast<long long>(search.placement_count),
                static_cast<long long>(search.complete_count), sec, search.placement_count / sec);
  }
  return 0;
}
