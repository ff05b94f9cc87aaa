// Test support for the search phases: a run that has read a structure through the real input
// dialogue (standard output captured, the log in a temporary directory), on which a test calls
// the phases one by one.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cellsieve/run.hpp"
#include "library/text/text_io.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/table_files.hpp"

namespace cellsieve::testing {

struct Atom {
  int32_t type;
  double x, y, z;
};

struct Input {
  int scope = 1;
  double dmax = 0.01, dmin = 0.001, smax = 0.01, smin = 0.001;
  std::array<double, 6> params{3, 3, 3, 90, 90, 90};
  std::array<std::array<double, 3>, 3> cell{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
  std::vector<Atom> atoms{{1, 0, 0, 0}};

  std::string text() const {
    std::ostringstream o;
    o.precision(17);
    o << "Test structure\n" << scope << "\n" << dmax << " " << dmin << "\n" << smax << " " << smin << "\n2\n";
    for (double p : params) o << p << " ";
    o << "\n";
    for (const auto& v : cell) o << v[0] << " " << v[1] << " " << v[2] << "\n";
    o << atoms.size() << "\n";
    for (const Atom& a : atoms) o << a.type << " ";
    o << "\n";
    for (const Atom& a : atoms) o << a.x << " " << a.y << " " << a.z << "\n";
    return o.str();
  }
};

// n1 x n2 x n3 copies of the given atoms along the cell vectors, in a lattice of the multiplied
// lengths (the input cell stays the identity).
inline Input supercell(Input in, int n1, int n2, int n3) {
  std::vector<Atom> out;
  for (int i = 0; i < n1; ++i)
    for (int j = 0; j < n2; ++j)
      for (int k = 0; k < n3; ++k)
        for (const Atom& a : in.atoms) out.push_back({a.type, (a.x + i) / n1, (a.y + j) / n2, (a.z + k) / n3});
  in.atoms = out;
  in.params[0] *= n1;
  in.params[1] *= n2;
  in.params[2] *= n3;
  return in;
}

class SearchRun {
 public:
  explicit SearchRun(const Input& in) {
    static bool loaded = false;
    if (!loaded) {
      sgl::load_common_space(SGL_DATA_DIR);
      apply_preferred_settings(sgl::common_space());
      loaded = true;
    }
    run_ = std::make_unique<Run>();
    Run& r = *run_;
    r.deg_to_rad = 4.0 * std::atan(1.0) / 180.0;
    r.rad_to_deg = 1.0 / r.deg_to_rad;
    r.tables.allocate_init();
    read_point_ops(SGL_DATA_DIR, sgl::common_space(), r.ops);
    r.open_log((tmp_.path() / "cellsieve.log").string());
    const auto file = tmp_.path() / "input.txt";
    std::ofstream(file) << in.text();
    sgl::open_unit(5, file.string(), "OLD", "FORMATTED");
    phase([&] { r.input_dialogue(); });
    sgl::close_unit(5);
  }
  ~SearchRun() { sgl::close_unit(kLogUnit); }

  Run& operator*() { return *run_; }
  Run* operator->() { return run_.get(); }

  // Runs a phase with standard output captured (appended to out()); a stop becomes bombed().
  template <typename Phase>
  std::string phase(Phase&& f) {
    ::testing::internal::CaptureStdout();
    bombed_ = false;
    {
      sgl::testing::BombTrap trap;
      try {
        f();
      } catch (const sgl::testing::Bombed&) {
        bombed_ = true;
      }
    }
    sgl::flush(6);
    std::string text = ::testing::internal::GetCapturedStdout();
    out_ += text;
    return text;
  }
  bool bombed() const { return bombed_; }

  // The phases up to the point-operation search of sublattice cur (the last sublattice when 0).
  std::string through_operations(int32_t cur = 0) {
    return phase([&] {
      run_->find_translations();
      run_->enumerate_sublattices();
      const int32_t c = cur == 0 ? run_->search.nsublattices : cur;
      run_->prepare_sublattice(c);
      run_->find_point_operations();
    });
  }

 private:
  sgl::testing::TempDir tmp_;
  std::unique_ptr<Run> run_;
  std::string out_;
  bool bombed_ = false;
};

// Whether element e is a member of candidate s (its member list, ascending).
inline bool is_member(const Search& x, int32_t s, int32_t e) {
  const std::vector<int32_t>& m = x.members[static_cast<std::size_t>(s) - 1];
  return std::binary_search(m.begin(), m.end(), e);
}

// Lines of a text.
inline std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

}  // namespace cellsieve::testing
