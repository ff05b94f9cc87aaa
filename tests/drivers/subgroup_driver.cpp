// Identifies subgroups and splits Wyckoff orbits for an independent check by another program, and
// runs the two stops of these routines for the message tests.
//
// Usage: subgroup_driver DATA_DIR cases RESULT_FILE < CASES
//        subgroup_driver DATA_DIR notfound | maxnewcount
//
// cases: reads subgroups of parent groups from standard input, each as
//   case ID GROUP MODE
//   lattice L11 L21 L31 L12 L22 L32 L13 L23 L33     (columns, parent "pml" coordinates)
//   op T1 T2 T3 DEN POINT_OP                         (one line per operator, parent "pml")
//   end
// identifies each with id_subgroup, checks that every operator referred to the returned basis and
// origin is the tables' operator of the returned group, and splits every Wyckoff position of the
// parent with get_new_wyckoff at random old parameters, checking that the new orbits reproduce the
// old atoms exactly once. Results go to RESULT_FILE, per case:
//   case ID GROUP SUBGROUP PASS RETRIED MICROSECONDS          (or: stop ID id / stop ID wyckoff)
//   basis B11 .. B33 origin O1 O2 O3 OD
//   consistency ok | consistency fault TEXT
//   split W COUNT MICROSECONDS LARGEST_D LARGEST_E LARGEST_RELATION WIDE ok|fault TEXT
//   orbit W LABEL X Y Z       (per new orbit: a point of it in the subgroup's "cinter")
//   end
// A stop inside a routine (the fatal stop turned into an exception) ends only its case; the
// routine's message, if any, is on standard output.
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "library/groups/change_setting.hpp"
#include "library/groups/get_new_wyckoff.hpp"
#include "library/groups/id_subgroup.hpp"
#include "library/tables/common_space.hpp"
#include "library/tables/common_wyckoff.hpp"
#include "library/text/bomb.hpp"
#include "library/text/text_io.hpp"
#include "tests/subgroup_checks.hpp"

namespace {

using namespace sgl;

struct Stopped {};
[[noreturn]] void throw_stop() { throw Stopped{}; }

// Random parameter values of either sign, away from 0 and 1/2 and from every multiple of 1/48,
// so that no new orbit's point lands near a special position by chance.
std::array<double, 3> random_parameters(std::mt19937& rng) {
  std::uniform_real_distribution<double> u(0.05, 0.45);
  std::bernoulli_distribution sign(0.5);
  std::array<double, 3> x;
  for (double& v : x) {
    do {
      v = sign(rng) ? u(rng) : -u(rng);
    } while (std::fabs(v * 48 - std::round(v * 48)) < 0.05);
  }
  return x;
}

using Clock = std::chrono::steady_clock;
long long micros(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration_cast<std::chrono::microseconds>(b - a).count();
}

void run_cases(const CommonSpace& cs, const CommonWyckoff& cw, std::ostream& out) {
  set_bomb_handler(&throw_stop);
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream head(line);
    std::string word;
    head >> word;
    if (word != "case") continue;
    std::string id;
    int32_t g = 0, mode = 0;
    head >> id >> g >> mode;
    Mat3i lattice{};
    std::vector<SpaceOp> ops;
    while (std::getline(std::cin, line)) {
      std::istringstream in(line);
      in >> word;
      if (word == "end") break;
      if (word == "lattice")
        for (int32_t& v : lattice) in >> v;
      if (word == "op") {
        SpaceOp op;
        for (int32_t& v : op) in >> v;
        ops.push_back(op);
      }
    }
    int32_t h = 0;
    Mat3i basis{};
    RationalVector origin{};
    IdSubgroupTrace trace;
    const auto t0 = Clock::now();
    try {
      id_subgroup(cs, g, lattice, static_cast<int32_t>(ops.size()), ops, h, basis, origin, mode,
                  &trace);
    } catch (const Stopped&) {
      out << "stop " << id << " id\n";
      flush(6);
      continue;
    }
    const auto t1 = Clock::now();
    out << "case " << id << ' ' << g << ' ' << h << ' ' << trace.pass << ' ' << trace.retried << ' '
        << micros(t0, t1) << "\nbasis";
    for (int32_t v : basis) out << ' ' << v;
    out << " origin " << origin[0] << ' ' << origin[1] << ' ' << origin[2] << ' ' << origin[3] << '\n';
    const std::string fault = testing::check_identification(cs, g, ops, h, basis, origin);
    out << (fault.empty() ? "consistency ok" : "consistency fault " + fault) << '\n';
    std::mt19937 rng(static_cast<unsigned>(std::hash<std::string>{}(id)));
    for (int32_t w = 1; w <= cw.wyc_count(g); ++w) {
      constexpr int32_t kRoom = 2048;
      std::vector<int32_t> nw(kRoom);
      std::vector<WyckoffRelation> rel(kRoom);
      int32_t count = 0;
      GetNewWyckoffTrace sizes;
      const auto s0 = Clock::now();
      try {
        get_new_wyckoff(cs, cw, g, h, basis, origin, w, count, nw, rel, kRoom, &sizes);
      } catch (const Stopped&) {
        out << "stop " << id << " wyckoff " << w << '\n';
        flush(6);
        continue;
      }
      const auto s1 = Clock::now();
      const auto x = random_parameters(rng);
      const std::string split_fault = testing::check_split(
          cs, cw, g, h, basis, origin, w, count, std::span<const int32_t>(nw.data(), count),
          std::span<const WyckoffRelation>(rel.data(), count), x);
      out << "split " << w << ' ' << count << ' ' << micros(s0, s1) << ' ' << sizes.largest_scale
          << ' ' << sizes.largest_equation << ' ' << sizes.largest_relation << ' '
          << sizes.wide_shifts << ' ' << (split_fault.empty() ? "ok" : "fault " + split_fault)
          << '\n';
      for (int32_t k = 0; k < count; ++k) {
        const testing::Point3 p = testing::related_point(cw, h, nw[k], rel[k], x);
        std::array<double, 3> y;
        dxyz_change_setting(cs, h, "pml", "cinter", p, y);
        char buf[160];
        std::snprintf(buf, sizeof buf, "orbit %d %s %.12f %.12f %.12f\n", nw[k],
                      std::string(cw.wyc_label(cw.wyc_first(h) + nw[k] - 1).trimmed()).c_str(),
                      y[0], y[1], y[2]);
        out << buf;
      }
    }
    out << "end\n";
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string which = argv[2];
  auto cs = std::make_unique<CommonSpace>();
  auto cw = std::make_unique<CommonWyckoff>();
  load_common_space(argv[1], *cs);
  load_common_wyckoff(argv[1], *cw);
  if (which == "cases" && argc > 3) {
    std::ofstream out(argv[3]);
    run_cases(*cs, *cw, out);
    return 0;
  }
  const Mat3i unit{1, 0, 0, 0, 1, 0, 0, 0, 1};
  if (which == "notfound") {  // Pmmm asked as Pnnm
    std::vector<SpaceOp> ops;
    for (int32_t p : {1, 2, 3, 4, 25, 26, 27, 28}) ops.push_back({0, 0, 0, 1, p});
    int32_t h = 0;
    Mat3i basis{};
    RationalVector origin{};
    id_subgroup(*cs, 221, unit, 8, ops, h, basis, origin, 58);
  }
  if (which == "maxnewcount") {  // 3c of Pm-3m splits into two orbits of P4/mmm
    std::vector<int32_t> nw(1);
    std::vector<WyckoffRelation> rel(1);
    int32_t count = 0;
    get_new_wyckoff(*cs, *cw, 221, 123, unit, {0, 0, 0, 1}, 3, count, nw, rel, 1);
  }
  return 0;
}
