// The program's two blocks of shared data tables: storage, loading and validation.
//
// After a block is read, every index it holds is checked against the extent it indexes, and every
// value the routines rely on against the range they rely on (rotation entries -1, 0 or 1 with
// determinant +-1, positive denominators, translations reduced into [0, 1), codes that are the
// codes of the matrices, products and inverses that are those of the matrices, operator lists
// that are groups), so that no reader can be led outside an array, into an endless loop or to a
// confident wrong answer by a damaged or foreign data file. The first entry that fails is named,
// with its file, in one line and the run stops. The checks take about a millisecond, most of it
// the closure of the operator lists; reading the files takes several times as long.
#include <array>
#include <cstdint>
#include <string>

#include "library/tables/common_space.hpp"
#include "library/tables/common_wyckoff.hpp"
#include "library/tables/entry_checks.hpp"
#include "library/tables/table_loader.hpp"

namespace sgl {

namespace {

constexpr int kMaxGroupOrder = 48;
constexpr int kHexagonalListFirst = 49;
constexpr int kFirstHexagonalGroup = 143;
constexpr int kLastHexagonalGroup = 194;
constexpr int kHexagonalType = 10;     // hP
constexpr int kRhombohedralType = 11;  // hR
constexpr int kMatrixCodeCount = 19683;  // 3^9 codes of -1/0/1 matrices
// Keys are summed over at most 48 operations in 32-bit integers.
constexpr int32_t kMaxKey = 1000000;
constexpr int32_t kMaxGroupKey = kMaxGroupOrder * kMaxKey;
constexpr int kMaxSettingClass = 3;

using entry_checks::printable;
using entry_checks::within;

// The point-operation list (cubic 1-48, hexagonal 49-72) a number belongs to; 0 for none.
int op_list(int op) {
  if (within(op, 1, kHexagonalListFirst - 1)) return 1;
  if (within(op, kHexagonalListFirst, kPointOpCount)) return 2;
  return 0;
}

// A run of `count` operator records from `first` must lie within the operator table.
bool record_run_ok(int first, int count) { return entry_checks::run_ok(first, count, kOpRecordCount); }

// 3 x 3 integer matrices by columns, entry (i, j) at 3 (j - 1) + i - 1, held in 64 bits.
using Mat = std::array<int64_t, 9>;

int64_t& at(Mat& m, int i, int j) { return m[static_cast<std::size_t>(3 * (j - 1) + i - 1)]; }
int64_t at(const Mat& m, int i, int j) { return m[static_cast<std::size_t>(3 * (j - 1) + i - 1)]; }

Mat product(const Mat& a, const Mat& b) {
  Mat r{};
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j)
      for (int k = 1; k <= 3; ++k) at(r, i, j) += at(a, i, k) * at(b, k, j);
  return r;
}

Mat scalar(int64_t s) {
  Mat r{};
  for (int i = 1; i <= 3; ++i) at(r, i, i) = s;
  return r;
}

int64_t det(const Mat& m) {
  return at(m, 1, 1) * (at(m, 2, 2) * at(m, 3, 3) - at(m, 2, 3) * at(m, 3, 2)) -
         at(m, 1, 2) * (at(m, 2, 1) * at(m, 3, 3) - at(m, 2, 3) * at(m, 3, 1)) +
         at(m, 1, 3) * (at(m, 2, 1) * at(m, 3, 2) - at(m, 2, 2) * at(m, 3, 1));
}

int64_t trace(const Mat& m) { return at(m, 1, 1) + at(m, 2, 2) + at(m, 3, 3); }

// The MATRIX_CODE of a matrix of -1, 0 and 1: (entry + 1) times 3 to the power of its position
// in column order, the first entry least significant; -1 for any other matrix.
int32_t matrix_code(const Mat& m) {
  int32_t code = 0;
  int32_t power = 1;
  for (int64_t x : m) {
    if (!within(x, -1, 1)) return -1;
    code += static_cast<int32_t>(x + 1) * power;
    power *= 3;
  }
  return code;
}

Mat rotation(const CommonSpace& s, int k) {
  Mat r{};
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) at(r, i, j) = s.point_op_rot(i, j, k);
  return r;
}

Mat lattice_matrix(const CommonSpace& s, int n, int l) {
  Mat r{};
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) at(r, i, j) = s.lattice_transform(i, j, n, l);
  return r;
}

// The point-operation list of a Bravais type: hexagonal for hP and hR, cubic for the others.
int type_list(int l) { return l == kHexagonalType || l == kRhombohedralType ? 2 : 1; }

// Point operation k on the primitive basis of Bravais type l, P^-1 R P, times the type's first
// denominator: matrix 1 times R times matrix 2.
Mat primitive_rotation(const CommonSpace& s, int k, int l) {
  return product(product(lattice_matrix(s, 1, l), rotation(s, k)), lattice_matrix(s, 2, l));
}

// The code that the primitive tables must hold for point operation k and Bravais type l: that of
// P^-1 R P (primitive_rotation over the denominator) when k is in the type's list and that
// matrix has entries -1, 0, 1; else 0.
int32_t primitive_code(const CommonSpace& s, int k, int l) {
  if (op_list(k) != type_list(l)) return 0;
  const Mat q = primitive_rotation(s, k, l);
  const int64_t den = s.lattice_transform_den(1, l);
  Mat r{};
  for (std::size_t e = 0; e < 9; ++e) {
    if (q[e] % den != 0) return 0;
    r[e] = q[e] / den;
  }
  const int32_t code = matrix_code(r);
  return code < 0 ? 0 : code;
}

// The checks of one block, each naming the file in its stop.
class SpaceCheck {
 public:
  SpaceCheck(const CommonSpace& s, std::string_view file) : s_(s), file_(file) {}

  void run() {
    check_rotations();
    check_point_operations();
    check_keys();
    check_point_groups();
    check_lattice_transforms();
    check_codes();
    check_space_groups();
    check_setting_entries();
    check_setting_transforms();
    check_names();
  }

 private:
  [[noreturn]] void bad(std::string_view array, std::initializer_list<int> indices, int whole = 0) const {
    bad_table_entry(file_, array, indices, whole);
  }

  void check_rotations() {
    for (int k = 1; k <= kPointOpCount; ++k) {
      for (int j = 1; j <= 3; ++j)
        for (int i = 1; i <= 3; ++i)
          if (!within(s_.point_op_rot(i, j, k), -1, 1)) bad("point_op_rot", {i, j, k});
      const int64_t d = det(rotation(s_, k));
      if (d != 1 && d != -1) bad("point_op_rot", {k}, 2);
      if ((d == 1) != s_.point_op_proper(k).value) bad("point_op_proper", {k});
    }
    // The identity and the inversion of both lists, which the routines name by number.
    for (int k : {1, kHexagonalListFirst}) {
      if (rotation(s_, k) != scalar(1)) bad("point_op_rot", {k}, 2);
    }
    for (int k : {25, 61}) {
      if (rotation(s_, k) != scalar(-1)) bad("point_op_rot", {k}, 2);
    }
  }

  // Products and inverses within a list are those of the matrices.
  void check_point_operations() {
    for (int a = 1; a <= kPointOpCount; ++a) {
      const int inverse = s_.point_op_inverse(a);
      if (op_list(inverse) != op_list(a) || product(rotation(s_, inverse), rotation(s_, a)) != scalar(1)) {
        bad("point_op_inverse", {a});
      }
      for (int b = 1; b <= kPointOpCount; ++b) {
        if (op_list(a) != op_list(b)) continue;
        const int p = s_.point_op_product(a, b);
        if (op_list(p) != op_list(a) || rotation(s_, p) != product(rotation(s_, a), rotation(s_, b))) {
          bad("point_op_product", {a, b});
        }
      }
    }
  }

  // A point operation's key depends on its kind (determinant and trace) alone, and different
  // kinds have different keys; point groups have different keys. A damaged key is the one that
  // disagrees with the rest of its kind (or, in a kind of two, takes another kind's key).
  void check_keys() {
    std::array<int64_t, kPointOpCount + 1> kinds{};
    for (int a = 1; a <= kPointOpCount; ++a) kinds[static_cast<std::size_t>(a)] = det(rotation(s_, a)) * 10 + trace(rotation(s_, a));
    const auto kind = [&](int a) { return kinds[static_cast<std::size_t>(a)]; };
    for (int a = 1; a <= kPointOpCount; ++a) {
      if (!within(s_.point_op_key(a), 1, kMaxKey)) bad("point_op_key", {a});
    }
    // First the keys outvoted by their kind, then those that take another kind's key, then any
    // left that differ within a kind.
    for (int pass = 1; pass <= 3; ++pass) {
      for (int a = 1; a <= kPointOpCount; ++a) {
        int agree = 0, disagree = 0;
        bool taken = false;
        for (int b = 1; b <= kPointOpCount; ++b) {
          if (b == a) continue;
          const bool same_key = s_.point_op_key(a) == s_.point_op_key(b);
          if (kind(a) == kind(b)) {
            (same_key ? agree : disagree) += 1;
          } else if (same_key) {
            taken = true;
          }
        }
        const bool outvoted = disagree > agree && agree + disagree >= 2;
        if ((pass == 1 && outvoted) || (pass == 2 && taken && disagree > agree) || (pass == 3 && disagree > 0)) {
          bad("point_op_key", {a});
        }
      }
    }
    for (int p = 1; p <= kPointGroupCount; ++p) {
      if (!within(s_.point_group_key(p), 1, kMaxGroupKey)) bad("point_group_key", {p});
      for (int q = 1; q < p; ++q) {
        if (s_.point_group_key(p) == s_.point_group_key(q)) bad("point_group_key", {p});
      }
    }
  }

  void check_point_groups() {
    for (int p = 1; p <= kPointGroupCount; ++p) {
      // The order of a crystallographic point group divides 48.
      const int order = s_.pg_order(p);
      if (!within(order, 1, kMaxGroupOrder) || kMaxGroupOrder % order != 0) bad("pg_order", {p});
      const int count = s_.pg_generator_count(p);
      if (!within(count, 0, kMaxGenerators)) bad("pg_generator_count", {p});
      // The generators first, the rest of the five places 0.
      for (int k = 1; k <= kMaxGenerators; ++k) {
        const int op = s_.pg_generators(k, p);
        if (k <= count ? op_list(op) == 0 : op != 0) bad("pg_generators", {k, p});
      }
    }
    for (int l = 1; l <= kBravaisTypeCount; ++l) {
      if (!within(s_.bravais_point_group(l), 1, kPointGroupCount)) bad("bravais_point_group", {l});
    }
  }

  // Matrices 1 and 2 of a Bravais type are inverse to each other up to the first denominator,
  // matrices 3 and 4 up to the second.
  void check_lattice_transforms() {
    for (int l = 1; l <= kBravaisTypeCount; ++l) {
      for (int k = 1; k <= 2; ++k) {
        const int den = s_.lattice_transform_den(k, l);
        if (den < 1) bad("lattice_transform_den", {k, l});
        if (product(lattice_matrix(s_, 2 * k - 1, l), lattice_matrix(s_, 2 * k, l)) != scalar(den)) {
          bad("lattice_transform", {l}, 3);
        }
      }
    }
  }

  // Each code table holds the codes of the point operations' matrices in its axes.
  void check_codes() {
    for (int k = 1; k <= kPointOpCount; ++k) {
      if (s_.conv_matrix_code(k) != matrix_code(rotation(s_, k))) bad("conv_matrix_code", {k});
      const int32_t rhomb = op_list(k) == 2 ? primitive_code(s_, k, kRhombohedralType) : 0;
      if (s_.rhomb_matrix_code(k) != rhomb) bad("rhomb_matrix_code", {k});
      for (int l = 1; l <= kBravaisTypeCount; ++l) {
        const int32_t code = primitive_code(s_, k, l);
        for (int b = 1; b <= 4; ++b) {
          if (s_.prim_matrix_code(k, l, b) != code) bad("prim_matrix_code", {k, l, b});
        }
      }
    }
    static_assert(kMatrixCodeCount == 3 * 3 * 3 * 3 * 3 * 3 * 3 * 3 * 3);
  }

  // The records of a group's generator list, or the records of a setting entry's: a point
  // operation of the group's list and a translation reduced into [0, 1).
  void check_records(int group, int first, int count) {
    const int list = within(group, kFirstHexagonalGroup, kLastHexagonalGroup) ? 2 : 1;
    for (int r = first; r < first + count; ++r) {
      const int den = s_.sg_op_table(4, r);
      if (den < 1) bad("sg_op_table", {4, r});
      for (int i = 1; i <= 3; ++i) {
        if (!within(s_.sg_op_table(i, r), 0, den - 1)) bad("sg_op_table", {i, r});
      }
      if (op_list(s_.sg_op_table(5, r)) != list) bad("sg_op_table", {5, r});
    }
  }

  // A group's operator list: the identity first, one record per point operation, the key sum of
  // its point group, and closed under products modulo the lattice of its Bravais type.
  void check_operator_list(int g) {
    const int pg = s_.sg_point_group(g);
    const int first = s_.sg_first_op(g);
    const int order = s_.pg_order(pg);
    check_records(g, first, order);
    const int identity = within(g, kFirstHexagonalGroup, kLastHexagonalGroup) ? kHexagonalListFirst : 1;
    for (int i = 1; i <= 3; ++i) {
      if (s_.sg_op_table(i, first) != 0) bad("sg_op_table", {i, first});
    }
    if (s_.sg_op_table(4, first) != 1) bad("sg_op_table", {4, first});
    if (s_.sg_op_table(5, first) != identity) bad("sg_op_table", {5, first});
    std::array<int, kPointOpCount + 1> record_of{};
    int64_t key = 0;
    for (int r = first; r < first + order; ++r) {
      const int op = s_.sg_op_table(5, r);
      if (record_of[static_cast<std::size_t>(op)] != 0) bad("sg_op_table", {5, r});
      record_of[static_cast<std::size_t>(op)] = r;
      key += s_.point_op_key(op);
    }
    if (key != s_.point_group_key(pg)) bad("sg_point_group", {g});

    // Closure: (R_a | t_a)(R_b | t_b) = (R_a R_b | R_a t_b + t_a) must be the listed operator of
    // R_a R_b up to a lattice vector, the rotations taken on the primitive basis of the type.
    const int l = s_.sg_bravais(g);
    const int64_t den = s_.lattice_transform_den(1, l);
    std::array<Mat, kMaxGroupOrder> rotations{};
    for (int ra = first; ra < first + order; ++ra) {
      rotations[static_cast<std::size_t>(ra - first)] = primitive_rotation(s_, s_.sg_op_table(5, ra), l);
    }
    for (int rb = first; rb < first + order; ++rb) {
      for (int ra = first; ra < first + order; ++ra) {
        const int a = s_.sg_op_table(5, ra);
        const int rc = record_of[static_cast<std::size_t>(s_.point_op_product(a, s_.sg_op_table(5, rb)))];
        if (rc == 0) bad("sg_op_table", {5, rb});
        const Mat& q = rotations[static_cast<std::size_t>(ra - first)];
        const int64_t da = s_.sg_op_table(4, ra), db = s_.sg_op_table(4, rb), dc = s_.sg_op_table(4, rc);
        for (int i = 1; i <= 3; ++i) {
          int64_t rt = 0;
          for (int j = 1; j <= 3; ++j) rt += at(q, i, j) * s_.sg_op_table(j, rb);
          // R_a t_b = rt / (den db); the sum over the common denominator den da db dc.
          const int64_t sum = rt * da * dc + s_.sg_op_table(i, ra) * den * db * dc - s_.sg_op_table(i, rc) * den * da * db;
          if (sum % (den * da * db * dc) != 0) bad("sg_op_table", {i, rb});
        }
      }
    }
  }

  void check_space_groups() {
    for (int g = 1; g <= kSpaceGroupCount; ++g) {
      const int pg = s_.sg_point_group(g);
      if (!within(pg, 1, kPointGroupCount)) bad("sg_point_group", {g});
      const int l = s_.sg_bravais(g);
      const bool hexagonal = within(g, kFirstHexagonalGroup, kLastHexagonalGroup);
      if (!within(l, 1, kBravaisTypeCount) || (type_list(l) == 2) != hexagonal) bad("sg_bravais", {g});
      const int entry = s_.sg_default_setting(g);
      if (!within(entry, 1, kSettingEntryCount)) bad("sg_default_setting", {g});
      if (!record_run_ok(s_.sg_first_op(g), s_.pg_order(pg))) bad("sg_first_op", {g});
      check_operator_list(g);
      for (int b = 1; b <= kMaxGenerators; ++b) {
        if (!record_run_ok(s_.sg_first_generator(g, b), s_.pg_generator_count(pg))) {
          bad("sg_first_generator", {g, b});
        }
        check_records(g, s_.sg_first_generator(g, b), s_.pg_generator_count(pg));
      }
    }
  }

  void check_setting_entries() {
    const int count = s_.setting_count();
    if (!within(count, 0, kSettingEntryCount)) bad("setting_count", {});
    for (int e = 1; e <= count; ++e) {
      const int g = s_.setting_sg(e);
      if (!within(g, 1, kSpaceGroupCount)) bad("setting_sg", {e});
      const int generators = s_.pg_generator_count(s_.sg_point_group(g));
      if (!record_run_ok(s_.setting_first_generator(e), generators)) bad("setting_first_generator", {e});
      check_records(g, s_.setting_first_generator(e), generators);
      if (!within(s_.setting_inter_class(e), 0, kMaxSettingClass)) bad("setting_inter_class", {e});
      if (!within(s_.setting_inter_flag(e), 0, 1)) bad("setting_inter_flag", {e});
      if (!printable(s_.setting_symbol(e).view())) bad("setting_symbol", {e});
      if (!printable(s_.setting_lattice_letter(e).view())) bad("setting_lattice_letter", {e});
    }
    // A group's default entry is one of its own entries.
    for (int g = 1; g <= kSpaceGroupCount; ++g) {
      const int entry = s_.sg_default_setting(g);
      if (entry > count || s_.setting_sg(entry) != g) bad("sg_default_setting", {g});
    }
  }

  // A pair of OP_MATRIX: positive corners, row 4 otherwise zero, and the two mutually inverse up
  // to the product of their corners.
  template <typename Entry>
  bool transform_pair_ok(Entry entry) const {
    std::array<std::array<int64_t, 16>, 2> m{};
    for (int k = 1; k <= 2; ++k)
      for (int j = 1; j <= 4; ++j)
        for (int i = 1; i <= 4; ++i) m[static_cast<std::size_t>(k - 1)][static_cast<std::size_t>(4 * (j - 1) + i - 1)] = entry(i, j, k);
    for (const auto& t : m) {
      if (t[15] < 1 || t[3] != 0 || t[7] != 0 || t[11] != 0) return false;
    }
    const int64_t corner = m[0][15] * m[1][15];
    for (int i = 0; i < 4; ++i) {
      for (int j = 0; j < 4; ++j) {
        int64_t sum = 0;
        for (int k = 0; k < 4; ++k) sum += m[0][static_cast<std::size_t>(4 * k + i)] * m[1][static_cast<std::size_t>(4 * j + k)];
        if (sum != (i == j ? corner : 0)) return false;
      }
    }
    return true;
  }

  void check_setting_transforms() {
    for (int slot = 1; slot <= 8; ++slot) {
      for (int g = 1; g <= kSpaceGroupCount; ++g) {
        if (!transform_pair_ok([&](int i, int j, int k) { return s_.setting_transform(i, j, k, g, slot); })) {
          bad("setting_transform", {g, slot}, 3);
        }
      }
    }
    for (int e = 1; e <= s_.setting_count(); ++e) {
      if (!transform_pair_ok([&](int i, int j, int k) { return s_.setting_entry_transform(i, j, k, e); })) {
        bad("setting_entry_transform", {e}, 3);
      }
    }
  }

  void check_names() {
    for (int g = 1; g <= kSpaceGroupCount; ++g) {
      if (!printable(s_.sg_symbol(g).view())) bad("sg_symbol", {g});
    }
    for (int slot = 1; slot <= 8; ++slot)
      for (int k = 1; k <= 2; ++k)
        if (!printable(s_.setting_name(k, slot).view())) bad("setting_name", {k, slot});
    for (int b = 1; b <= 4; ++b)
      if (!printable(s_.prim_setting_name(b).view())) bad("prim_setting_name", {b});
    for (int b = 1; b <= kMaxGenerators; ++b)
      if (!printable(s_.generator_setting_name(b).view())) bad("generator_setting_name", {b});
  }

  const CommonSpace& s_;
  std::string_view file_;
};

class WyckoffCheck {
 public:
  WyckoffCheck(const CommonWyckoff& w, std::string_view file) : w_(w), file_(file) {}

  void run() {
    check_positions();
    check_element_lists();
  }

  // The element lists against the point groups of the space-group block: each list of point
  // group p holds PG_ORDER(p) distinct operations whose keys sum to that of p.
  void run_against(const CommonSpace& s) {
    for (int p = 1; p <= kPointGroupCount; ++p) {
      const int first = w_.pg_list_first(p);
      for (int l = first; l < first + w_.pg_list_count(p); ++l) {
        int64_t key = 0;
        for (int j = 1; j <= kMaxGroupOrder; ++j) {
          const int op = w_.pg_element_list(j, l);
          if ((j <= s.pg_order(p)) != (op != 0)) bad("pg_element_list", {j, l});
          if (op != 0) key += s.point_op_key(op);
        }
        if (key != s.point_group_key(p)) bad("pg_element_list", {l}, 1);
      }
    }
  }

 private:
  [[noreturn]] void bad(std::string_view array, std::initializer_list<int> indices, int whole = 0) const {
    bad_table_entry(file_, array, indices, whole);
  }

  void check_positions() {
    for (int g = 1; g <= kSpaceGroupCount; ++g) {
      const int count = w_.wyc_count(g);
      const int first = w_.wyc_first(g);
      if (count < 0) bad("wyc_count", {g});
      if (count > 0 && !(first >= 1 && first + count - 1 <= kWyckoffPositionCount)) bad("wyc_first", {g});
      for (int p = first; p < first + count; ++p) {
        if (!within(w_.wyc_site_point_group(p), 1, kPointGroupCount)) bad("wyc_site_point_group", {p});
        // The fixed point over a positive denominator; a parameter column either a direction over
        // a positive denominator or, for a parameter the position lacks, all zero.
        if (w_.wyc_matrix_table(4, 1, p) < 1) bad("wyc_matrix_table", {4, 1, p});
        for (int c = 2; c <= 4; ++c) {
          const int den = w_.wyc_matrix_table(4, c, p);
          if (den < 0) bad("wyc_matrix_table", {4, c, p});
          for (int r = 1; r <= 3; ++r) {
            if (den == 0 && w_.wyc_matrix_table(r, c, p) != 0) bad("wyc_matrix_table", {r, c, p});
          }
        }
        if (!printable(w_.wyc_label(p).view())) bad("wyc_label", {p});
      }
    }
  }

  void check_element_lists() {
    for (int p = 1; p <= kPointGroupCount; ++p) {
      const int count = w_.pg_list_count(p);
      const int first = w_.pg_list_first(p);
      if (count < 0) bad("pg_list_count", {p});
      if (count > 0 && !(first >= 1 && first + count - 1 <= kElementListCount)) bad("pg_list_first", {p});
    }
    // Every list: distinct operations of one list, then zeros.
    for (int l = 1; l <= kElementListCount; ++l) {
      std::array<bool, kPointOpCount + 1> seen{};
      int list = 0;
      bool ended = false;
      for (int j = 1; j <= kMaxGroupOrder; ++j) {
        const int op = w_.pg_element_list(j, l);
        if (!within(op, 0, kPointOpCount)) bad("pg_element_list", {j, l});
        if (op == 0) {
          ended = true;
          continue;
        }
        if (ended || seen[static_cast<std::size_t>(op)] || (list != 0 && op_list(op) != list)) {
          bad("pg_element_list", {j, l});
        }
        seen[static_cast<std::size_t>(op)] = true;
        list = op_list(op);
      }
    }
  }

  const CommonWyckoff& w_;
  std::string_view file_;
};

}  // namespace

CommonSpace& common_space() {
  static CommonSpace block;
  return block;
}

CommonWyckoff& common_wyckoff() {
  static CommonWyckoff block;
  return block;
}

void validate_common_space(const CommonSpace& s, std::string_view file) { SpaceCheck(s, file).run(); }

void validate_common_wyckoff(const CommonWyckoff& w, std::string_view file, const CommonSpace* space) {
  WyckoffCheck check(w, file);
  check.run();
  if (space != nullptr) check.run_against(*space);
}

void load_common_space(std::string_view directory, CommonSpace& block) {
  load_table_block(directory, "data_space.bin", block);
  validate_common_space(block, table_file_path(directory, "data_space.bin"));
}

void load_common_space(std::string_view directory) { load_common_space(directory, common_space()); }

void load_common_wyckoff(std::string_view directory, CommonWyckoff& block, const CommonSpace* space) {
  load_table_block(directory, "data_wyckoff.bin", block);
  validate_common_wyckoff(block, table_file_path(directory, "data_wyckoff.bin"), space);
}

void load_common_wyckoff(std::string_view directory, CommonWyckoff& block) {
  load_common_wyckoff(directory, block, nullptr);
}

void load_common_wyckoff(std::string_view directory) {
  load_common_wyckoff(directory, common_wyckoff(), &common_space());
}

}  // namespace sgl
