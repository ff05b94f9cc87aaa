// Times the Madelung energy of a rock-salt supercell: 3 x 3 x 3 cubic cells of edge a (216 ions),
// and prints the time, the energy and the textbook value 108 x -1.747565 / (a / 2).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "library/geometry/madelung_energy.hpp"

int main(int argc, char** argv) {
  const double a = argc > 1 ? std::atof(argv[1]) : 5.64;
  const int cells = 3;
  const double edge = cells * a;
  const std::vector<double> basis{edge, 0, 0, 0, edge, 0, 0, 0, edge};
  std::vector<double> q, r;
  for (int i = 0; i < 2 * cells; ++i)
    for (int j = 0; j < 2 * cells; ++j)
      for (int k = 0; k < 2 * cells; ++k) {
        q.push_back((i + j + k) % 2 == 0 ? 1.0 : -1.0);
        r.insert(r.end(), {i * a / 2, j * a / 2, k * a / 2});
      }
  const int n = static_cast<int>(q.size());
  double e = 0.0;
  const auto start = std::chrono::steady_clock::now();
  sgl::madelung_energy(std::span<const double, 9>(basis.data(), 9), n, q, r, e);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double expected = n / 2 * -1.747565 / (a / 2);
  std::printf("ions %d  time %.3f s  energy %.6f  expected %.6f  relative difference %.1e\n", n,
              seconds, e, expected, (e - expected) / expected);
  return 0;
}
