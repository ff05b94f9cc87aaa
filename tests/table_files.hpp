// Test support for the shared data tables: consistent hand-made blocks, their record payloads,
// data files in a temporary directory, and running a program with XTALDIR set.
#pragma once

#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <type_traits>

#include "library/tables/common_space.hpp"
#include "library/tables/common_wyckoff.hpp"

namespace sgl::testing {

// The point operations of the committed "data_space.bin": matrices, kinds, keys, products,
// inverses, code tables and the lattice transforms of the Bravais types, which the validation
// checks against one another.
inline void copy_point_operations(CommonSpace& s) {
  static const std::unique_ptr<CommonSpace> committed = [] {
    auto c = std::make_unique<CommonSpace>();
    load_table_block(SGL_DATA_DIR, "data_space.bin", *c);
    return c;
  }();
  const CommonSpace& c = *committed;
  s.point_op_rot = c.point_op_rot;
  s.point_op_key = c.point_op_key;
  s.point_group_key = c.point_group_key;
  s.point_op_proper = c.point_op_proper;
  s.point_op_product = c.point_op_product;
  s.point_op_inverse = c.point_op_inverse;
  s.conv_matrix_code = c.conv_matrix_code;
  s.rhomb_matrix_code = c.rhomb_matrix_code;
  s.prim_matrix_code = c.prim_matrix_code;
  s.lattice_transform = c.lattice_transform;
  s.lattice_transform_den = c.lattice_transform_den;
}

// Blank texts, as the files pad them.
template <typename Block>
void blank_texts(Block& block) {
  Block::for_each_array(block, [](const char*, auto& table) {
    using T = typename std::remove_cvref_t<decltype(table)>::value_type;
    if constexpr (requires { T::chars; }) {
      for (T& text : table.flat()) text.chars.fill(' ');
    }
  });
}

// The smallest consistent space block: the point operations of the committed tables, every point
// group of order 1 with no generators, every group's operator list the identity record of its
// point-operation list (record 1 cubic, record 2 hexagonal; hexagonal groups of type hP), every
// change of setting the identity, one setting entry per group (its default).
inline std::unique_ptr<CommonSpace> minimal_space() {
  auto s = std::make_unique<CommonSpace>();
  copy_point_operations(*s);
  blank_texts(*s);
  for (int p = 1; p <= kPointGroupCount; ++p) s->pg_order(p) = 1;
  for (int l = 1; l <= kBravaisTypeCount; ++l) s->bravais_point_group(l) = 1;
  for (int slot = 1; slot <= 8; ++slot)
    for (int g = 1; g <= kSpaceGroupCount; ++g)
      for (int k = 1; k <= 2; ++k)
        for (int i = 1; i <= 4; ++i) s->setting_transform(i, i, k, g, slot) = 1;
  for (int e = 1; e <= kSpaceGroupCount; ++e)
    for (int k = 1; k <= 2; ++k)
      for (int i = 1; i <= 4; ++i) s->setting_entry_transform(i, i, k, e) = 1;
  s->sg_op_table(4, 1) = 1;
  s->sg_op_table(5, 1) = 1;
  s->sg_op_table(4, 2) = 1;
  s->sg_op_table(5, 2) = 49;
  for (int g = 1; g <= kSpaceGroupCount; ++g) {
    s->sg_point_group(g) = 1;
    s->sg_bravais(g) = (g >= 143 && g <= 194) ? 10 : 1;
    s->sg_default_setting(g) = static_cast<int16_t>(g);
    s->setting_sg(g) = static_cast<int16_t>(g);
    s->sg_first_op(g) = (g >= 143 && g <= 194) ? 2 : 1;
  }
  s->setting_count() = kSpaceGroupCount;
  return s;
}

// The smallest consistent Wyckoff block: one position per group.
inline std::unique_ptr<CommonWyckoff> minimal_wyckoff() {
  auto w = std::make_unique<CommonWyckoff>();
  blank_texts(*w);
  for (int g = 1; g <= kSpaceGroupCount; ++g) {
    w->wyc_first(g) = static_cast<int16_t>(g);
    w->wyc_count(g) = 1;
    w->wyc_site_point_group(g) = 1;
    w->wyc_matrix_table(4, 1, g) = 1;
  }
  return w;
}

// The record payload of a block (little-endian host; logicals as 4 bytes).
template <typename Block>
std::string payload_of(const Block& block) {
  std::string out;
  Block::for_each_array(block, [&](const char*, const auto& table) {
    using T = typename std::remove_cvref_t<decltype(table)>::value_type;
    for (const T& v : table.flat()) {
      if constexpr (std::is_same_v<T, Logical>) {
        const int32_t word = v.value ? 1 : 0;
        out.append(reinterpret_cast<const char*>(&word), 4);
      } else {
        out.append(reinterpret_cast<const char*>(&v), sizeof(T));
      }
    }
  });
  return out;
}

// Writes a data file: leading length, payload, trailing length.
inline void write_record_file(const std::filesystem::path& path, const std::string& payload, int32_t lead,
                              int32_t trail) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(&lead), 4);
  f.write(payload.data(), static_cast<std::streamsize>(payload.size()));
  f.write(reinterpret_cast<const char*>(&trail), 4);
}
inline void write_record_file(const std::filesystem::path& path, const std::string& payload) {
  const auto n = static_cast<int32_t>(payload.size());
  write_record_file(path, payload, n, n);
}

// A fresh directory under the system's temporary directory, removed with the object.
class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "sgl_tables_XXXXXX").string();
    path_ = ::mkdtemp(tmpl.data());
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  // The directory as XTALDIR holds it, with its final "/".
  std::string slash() const { return path_.string() + "/"; }

 private:
  std::filesystem::path path_;
};

inline std::string slurp(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

struct RunResult {
  int status = -1;
  std::string out, err;
};

// Runs a driver program in `workdir` with XTALDIR set to `xtaldir` (unset when null), standard
// input empty; returns its exit status and the two output streams.
inline RunResult run_driver(const std::string& driver, const std::string& args, const char* xtaldir,
                            const std::filesystem::path& workdir) {
  const std::string exe = std::string(SGL_DRIVER_DIR) + "/" + driver;
  std::string env = xtaldir != nullptr ? "XTALDIR='" + std::string(xtaldir) + "' " : "env -u XTALDIR ";
  const std::string cmd = "cd '" + workdir.string() + "' && " + env + "'" + exe + "' " + args +
                          " </dev/null >run.out 2>run.err";
  const int rc = std::system(cmd.c_str());
  RunResult r;
  r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  r.out = slurp(workdir / "run.out");
  r.err = slurp(workdir / "run.err");
  std::filesystem::remove(workdir / "run.out");
  std::filesystem::remove(workdir / "run.err");
  return r;
}

}  // namespace sgl::testing
