// Test support: data files of the mode-analysis tables written from a sparse description.
//
// The writer has its own description of the four files (and of the arrays of "data_wyckoff.bin"
// that only the mode analysis reads): every array with its byte offset in the payload, element
// size and extents, typed from the file layout and independent of the program's loader, so the
// loader can be checked against it. A FixturePayload starts all zero (texts blank) and takes
// single entries by 1-based indices; a ModeFixture holds the four files, the patched Wyckoff
// file, "const.dat", and writes them with a copy of "data_space.bin" into a directory.
#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace vibrex::testing {

struct ArrayLayout {
  const char* name;
  std::size_t offset;
  int element_bytes;
  char kind;  // 'I' integer, 'L' logical, 'T' text of element_bytes characters
  std::vector<int> extents;
};

struct FileLayout {
  const char* file;
  std::size_t payload;
  std::vector<ArrayLayout> arrays;
};

inline const FileLayout& images_layout() {
  static const FileLayout layout{"data_images.bin", 145994, {
    {"image_item_01", 0, 4, 'I', {}},
    {"image_item_02", 4, 4, 'L', {132}},
    {"image_item_03", 532, 4, 'L', {2300}},
    {"image_item_04", 9732, 4, 'L', {2300}},
    {"image_item_05", 18932, 4, 'L', {2300}},
    {"image_item_06", 28132, 2, 'I', {141}},
    {"image_item_07", 28414, 2, 'I', {132}},
    {"image_item_08", 28678, 2, 'I', {132}},
    {"opd_vector_start", 28942, 2, 'I', {700}},
    {"opd_vector_component", 30342, 2, 'I', {27300}},
    {"image_item_11", 84942, 2, 'I', {141}},
    {"image_item_12", 85224, 2, 'I', {2300}},
    {"image_item_13", 89824, 2, 'I', {141}},
    {"image_transform_start", 90106, 2, 'I', {132}},
    {"image_dimension", 90370, 1, 'I', {141}},
    {"image_item_16", 90511, 1, 'I', {141}},
    {"image_item_17", 90652, 1, 'I', {132}},
    {"opd_dimension", 90784, 1, 'I', {700}},
    {"opd_parameter_count", 91484, 1, 'I', {700}},
    {"image_reality_type", 92184, 1, 'I', {132}},
    {"image_transform_value", 92316, 1, 'I', {4840}},
    {"image_item_22", 97156, 6, 'T', {141}},
    {"image_item_23", 98002, 6, 'T', {132}},
    {"image_item_24", 98794, 4, 'T', {700}},
    {"image_item_25", 101594, 4, 'I', {2300}},
    {"image_item_26", 110794, 4, 'I', {6500}},
    {"image_item_27", 136794, 4, 'I', {2300}},
  }};
  return layout;
}

inline const FileLayout& irreps_layout() {
  static const FileLayout layout{"data_irreps.bin", 986752, {
    {"irrep_matrix_first", 0, 4, 'I', {4777}},
    {"irrep_matrix_start", 19108, 4, 'I', {80000}},
    {"irrep_sg", 339108, 2, 'I', {4777}},
    {"irrep_image", 348662, 2, 'I', {4777}},
    {"irrep_item_05", 358216, 2, 'I', {231}},
    {"irrep_item_06", 358678, 2, 'I', {4778}},
    {"irrep_item_07", 368234, 2, 'I', {84}},
    {"irrep_item_08", 368402, 2, 'I', {60}},
    {"irrep_matrix_element", 368522, 2, 'I', {170000}},
    {"irrep_item_10", 708522, 2, 'I', {4777}},
    {"irrep_item_11", 718076, 2, 'I', {22136}},
    {"irrep_item_12", 762348, 2, 'I', {73}},
    {"irrep_item_13", 762494, 1, 'I', {4777}},
    {"irrep_item_14", 767271, 1, 'I', {4777}},
    {"irrep_item_15", 772048, 1, 'I', {5, 8170}},
    {"irrep_item_16", 812898, 1, 'I', {73}},
    {"irrep_item_17", 812971, 1, 'I', {73}},
    {"irrep_label", 813044, 8, 'T', {4777}},
    {"irrep_item_19", 851260, 8, 'T', {4861}},
    {"irrep_item_20", 890148, 8, 'T', {4837}},
    {"irrep_item_21", 928844, 8, 'T', {4777}},
    {"irrep_item_22", 967060, 8, 'T', {73}},
    {"irrep_second_label", 967644, 4, 'T', {4777}},
  }};
  return layout;
}

inline const FileLayout& little_layout() {
  static const FileLayout layout{"data_little.bin", 1748470, {
    {"small_irrep_1d_start", 0, 4, 'I', {27, 230}},
    {"little_irrep_wyc_first", 24840, 4, 'I', {10300}},
    {"little_irrep_wyc_list_start", 66040, 4, 'I', {47000}},
    {"small_irrep_matrix_start", 254040, 4, 'I', {10300}},
    {"little_irrep_transform_start", 295240, 4, 'I', {10300}},
    {"little_irrep_number", 336440, 2, 'I', {12, 27, 231}},
    {"little_irrep_to_irrep", 486128, 2, 'I', {10300}},
    {"little_irrep_sg", 506728, 2, 'I', {10300}},
    {"little_item_09", 527328, 2, 'I', {4777}},
    {"kvec_count", 536882, 1, 'I', {14}},
    {"kvec_matrix", 536896, 1, 'I', {4, 4, 27, 14}},
    {"kvec_parameter_count", 542944, 1, 'I', {27, 14}},
    {"little_cogroup_order", 543322, 1, 'I', {27, 230}},
    {"little_cogroup_ops", 549532, 1, 'I', {48, 27, 230}},
    {"little_irrep_count", 847612, 1, 'I', {27, 230}},
    {"small_irrep_dimension", 853822, 1, 'I', {12, 27, 230}},
    {"small_irrep_1d_value", 928342, 1, 'I', {2, 11200}},
    {"little_irrep_reality", 950742, 1, 'I', {10300}},
    {"little_item_19", 961042, 1, 'I', {10300}},
    {"little_item_20", 971342, 1, 'I', {10300}},
    {"little_item_21", 981642, 1, 'I', {32}},
    {"little_item_22", 981674, 1, 'I', {10300}},
    {"little_irrep_dimension", 991974, 1, 'I', {10300}},
    {"little_irrep_kvec", 1002274, 1, 'I', {10300}},
    {"little_irrep_small_irrep", 1012574, 1, 'I', {10300}},
    {"little_irrep_wyc_list_count", 1022874, 1, 'I', {47000}},
    {"little_irrep_wyc_multiplicity", 1069874, 1, 'I', {104000}},
    {"little_irrep_wyc_site_irrep", 1173874, 1, 'I', {104000}},
    {"small_irrep_matrix_value", 1277874, 1, 'I', {2, 107000}},
    {"little_irrep_transform_value", 1491874, 1, 'I', {2, 12200}},
    {"kvec_label", 1516274, 2, 'T', {27, 14}},
    {"little_item_32", 1517030, 2, 'T', {12, 27, 230}},
    {"little_irrep_label", 1666070, 8, 'T', {10300}},
  }};
  return layout;
}

inline const FileLayout& isotropy_layout() {
  static const FileLayout layout{"data_isotropy.bin", 1854564, {
    {"isotropy_item_01", 0, 4, 'I', {15240}},
    {"isotropy_item_02", 60960, 4, 'I', {15239}},
    {"isotropy_item_03", 121916, 2, 'I', {15239}},
    {"isotropy_sg", 152394, 2, 'I', {15239}},
    {"isotropy_item_05", 182872, 2, 'I', {15239}},
    {"isotropy_opd", 213350, 2, 'I', {15239}},
    {"isotropy_irrep_first", 243828, 2, 'I', {4778}},
    {"isotropy_item_08", 253384, 2, 'I', {94271}},
    {"isotropy_item_09", 441926, 2, 'I', {94271}},
    {"isotropy_item_10", 630468, 2, 'I', {15239}},
    {"isotropy_item_11", 660946, 2, 'I', {15239}},
    {"isotropy_item_12", 691424, 2, 'I', {15239}},
    {"isotropy_item_13", 721902, 2, 'I', {94271}},
    {"isotropy_item_14", 910444, 2, 'I', {94271}},
    {"isotropy_item_15", 1098986, 2, 'I', {4732}},
    {"isotropy_item_16", 1108450, 1, 'I', {460300}},
    {"isotropy_superlattice", 1568750, 1, 'I', {3, 3, 15239}},
    {"isotropy_item_18", 1705901, 1, 'I', {4, 15239}},
    {"isotropy_item_19", 1766857, 1, 'I', {15239}},
    {"isotropy_item_20", 1782096, 1, 'I', {15239}},
    {"isotropy_item_21", 1797335, 1, 'I', {15239}},
    {"isotropy_item_22", 1812574, 1, 'I', {15239}},
    {"isotropy_item_23", 1827813, 1, 'I', {15239}},
    {"isotropy_item_24", 1843052, 1, 'I', {5756}},
    {"isotropy_item_25", 1848808, 1, 'I', {5756}},
  }};
  return layout;
}

// The arrays of "data_wyckoff.bin" that the mode analysis reads (and the element-list ranges its
// fixtures need); the rest of that file is taken from the committed one.
inline const FileLayout& wyckoff_mode_layout() {
  static const FileLayout layout{"data_wyckoff.bin", 477926, {
    {"irrep_wyc_first", 0, 4, 'I', {4777}},
    {"irrep_wyc_list_start", 19108, 4, 'I', {44000}},
    {"wyc_first", 195108, 2, 'I', {230}},
    {"irrep_wyc_site_irrep", 199958, 2, 'I', {61000}},
    {"pg_irrep_index", 321958, 2, 'I', {12, 32}},
    {"wyc_count", 322726, 1, 'I', {230}},
    {"wyc_site_point_group", 350652, 1, 'I', {1731}},
    {"pg_irrep_count", 359679, 1, 'I', {32}},
    {"irrep_wyc_list_count", 359711, 1, 'I', {44000}},
    {"irrep_wyc_multiplicity", 403711, 1, 'I', {61000}},
    {"pg_list_first", 464711, 2, 'I', {32}},
    {"pg_list_count", 464775, 1, 'I', {32}},
    {"pg_vector_irrep", 464807, 1, 'I', {3, 2, 32}},
    {"pg_vector_basis", 464999, 1, 'I', {3, 3, 2, 152}},
  }};
  return layout;
}

inline const ArrayLayout& find_array(const FileLayout& layout, const std::string& name) {
  for (const ArrayLayout& a : layout.arrays) {
    if (name == a.name) return a;
  }
  throw std::invalid_argument("no array " + name + " in " + layout.file);
}

// Byte offset of entry (i1, ..., in), 1-based, by columns.
inline std::size_t entry_offset(const ArrayLayout& a, std::initializer_list<int> index) {
  if (index.size() != a.extents.size()) throw std::invalid_argument(std::string("rank of ") + a.name);
  std::size_t linear = 0, stride = 1, k = 0;
  for (int i : index) {
    if (i < 1 || i > a.extents[k]) throw std::out_of_range(std::string("index of ") + a.name);
    linear += static_cast<std::size_t>(i - 1) * stride;
    stride *= static_cast<std::size_t>(a.extents[k++]);
  }
  return a.offset + linear * static_cast<std::size_t>(a.element_bytes);
}

// The payload of one file.
class FixturePayload {
 public:
  explicit FixturePayload(const FileLayout& layout) : layout_(&layout), bytes_(layout.payload, '\0') {
    for (const ArrayLayout& a : layout.arrays) {
      if (a.kind != 'T') continue;
      std::size_t n = static_cast<std::size_t>(a.element_bytes);
      for (int e : a.extents) n *= static_cast<std::size_t>(e);
      std::memset(bytes_.data() + a.offset, ' ', n);
    }
  }
  // A payload taken from existing bytes (the committed Wyckoff file).
  FixturePayload(const FileLayout& layout, std::string bytes) : layout_(&layout), bytes_(std::move(bytes)) {
    if (bytes_.size() != layout.payload) throw std::invalid_argument("payload size of " + std::string(layout.file));
  }

  // An integer (or logical) entry, little-endian in its element size.
  void set(const std::string& name, std::initializer_list<int> index, long long value) {
    const ArrayLayout& a = find_array(*layout_, name);
    std::size_t at = entry_offset(a, index);
    for (int b = 0; b < a.element_bytes; ++b) bytes_[at + b] = static_cast<char>((value >> (8 * b)) & 0xff);
  }
  long long get(const std::string& name, std::initializer_list<int> index) const {
    const ArrayLayout& a = find_array(*layout_, name);
    std::size_t at = entry_offset(a, index);
    unsigned long long u = 0;
    for (int b = 0; b < a.element_bytes; ++b) u |= static_cast<unsigned long long>(static_cast<unsigned char>(bytes_[at + b])) << (8 * b);
    const int bits = 8 * a.element_bytes;
    long long v = static_cast<long long>(u);
    if (bits < 64 && (u >> (bits - 1)) != 0) v -= 1LL << bits;
    return v;
  }
  // A text entry, cut or padded with blanks to its width.
  void set_text(const std::string& name, std::initializer_list<int> index, const std::string& text) {
    const ArrayLayout& a = find_array(*layout_, name);
    std::size_t at = entry_offset(a, index);
    for (int b = 0; b < a.element_bytes; ++b) {
      bytes_[at + b] = b < static_cast<int>(text.size()) ? text[b] : ' ';
    }
  }

  const std::string& bytes() const { return bytes_; }
  std::string& bytes() { return bytes_; }
  const FileLayout& layout() const { return *layout_; }

 private:
  const FileLayout* layout_;
  std::string bytes_;
};

inline std::string read_file(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// One record: the length, the payload, the length again.
inline void write_record(const std::filesystem::path& path, const std::string& payload) {
  const auto n = static_cast<int32_t>(payload.size());
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(&n), 4);
  f.write(payload.data(), static_cast<std::streamsize>(payload.size()));
  f.write(reinterpret_cast<const char*>(&n), 4);
}

// The payload of a committed data file.
inline std::string committed_payload(const std::string& file) {
  const std::string all = read_file(std::filesystem::path(SGL_DATA_DIR) / file);
  if (all.size() < 8) throw std::runtime_error("no committed " + file);
  return all.substr(4, all.size() - 8);
}

// All data files of a run: the four mode-analysis files, "data_wyckoff.bin" with its
// mode-analysis arrays set here, "const.dat", and the committed "data_space.bin".
class ModeFixture {
 public:
  ModeFixture()
      : images(images_layout()),
        irreps(irreps_layout()),
        little(little_layout()),
        isotropy(isotropy_layout()),
        wyckoff(wyckoff_mode_layout(), committed_payload("data_wyckoff.bin")) {}

  FixturePayload images, irreps, little, isotropy, wyckoff;
  std::vector<std::string> const_lines;

  void write(const std::filesystem::path& dir) const {
    write_record(dir / "data_space.bin", committed_payload("data_space.bin"));
    write_record(dir / "data_wyckoff.bin", wyckoff.bytes());
    write_record(dir / "data_images.bin", images.bytes());
    write_record(dir / "data_irreps.bin", irreps.bytes());
    write_record(dir / "data_little.bin", little.bytes());
    write_record(dir / "data_isotropy.bin", isotropy.bytes());
    std::ofstream c(dir / "const.dat");
    for (const std::string& line : const_lines) c << line << '\n';
  }
};

// Constant indices of the standard fixture.
inline constexpr int kC0 = 1, kC1 = 2, kCm1 = 3, kCHalf = 4, kCmHalf = 5, kCRoot = 6, kCmRoot = 7;

// The standard fixture: lattice type aP with the k vectors GM (0,0,0), X (1/2,0,0) and GP
// (a,b,g); P-1 (group 2) at GM and X with stored real irreps, P-1 at GP with one induced irrep of
// two arms (reality 1, no stored transformation), P1 (group 1) at GP with one complex irrep
// (reality 3) and its stored transformation to real form. The site point groups 1 and -1 get
// their irreps and vector slots.
inline ModeFixture standard_fixture() {
  ModeFixture f;
  f.const_lines = {"1 0.0", "2 1.0", "4 0.5", "6 0.70710677"};
  FixturePayload& lt = f.little;
  FixturePayload& ir = f.irreps;
  FixturePayload& im = f.images;
  FixturePayload& iso = f.isotropy;
  FixturePayload& wy = f.wyckoff;

  // k vectors of aP: every column carries a denominator.
  lt.set("kvec_count", {1}, 3);
  const char* labels[] = {"GM", "X", "GP"};
  for (int j = 1; j <= 3; ++j) {
    lt.set_text("kvec_label", {j, 1}, labels[j - 1]);
    for (int c = 1; c <= 4; ++c) lt.set("kvec_matrix", {4, c, j, 1}, 1);
  }
  lt.set("kvec_matrix", {1, 1, 2, 1}, 1);
  lt.set("kvec_matrix", {4, 1, 2, 1}, 2);
  lt.set("kvec_parameter_count", {3, 1}, 3);
  for (int p = 1; p <= 3; ++p) lt.set("kvec_matrix", {p, p + 1, 3, 1}, 1);

  // Images: 1 and 2 one-dimensional.
  im.set("image_dimension", {1}, 1);
  im.set("image_dimension", {2}, 1);
  im.set("image_reality_type", {1}, 1);
  im.set("image_reality_type", {2}, 1);

  // Matrix elements: 1 holds 1, 2 holds -1.
  ir.set("irrep_matrix_element", {1}, kC1);
  ir.set("irrep_matrix_element", {2}, kCm1);
  // Stored irreps: 1 GM1+, 2 GM1- of P-1; 3 X1+, 4 X1- of P-1; 5 GM1 of P1 (a site irrep).
  // Entries: T1, T2, T3, then one per operator (identity, inversion).
  struct Stored {
    int sg;
    const char* label;
    int t1, inversion;  // element index of T1 and of the inversion's matrix
  };
  const Stored stored[] = {{2, "GM1+", 1, 1}, {2, "GM1-", 1, 2}, {2, "X1+", 2, 1}, {2, "X1-", 2, 2}, {1, "GM1", 1, 0}};
  int entry = 1;
  for (int i = 1; i <= 5; ++i) {
    const Stored& s = stored[i - 1];
    ir.set("irrep_sg", {i}, s.sg);
    ir.set("irrep_image", {i}, i <= 4 ? 2 : 1);
    ir.set_text("irrep_label", {i}, s.label);
    ir.set("irrep_matrix_first", {i}, entry);
    const int ops = s.sg == 2 ? 2 : 1;
    const int elements[] = {s.t1, 1, 1, 1, s.inversion};
    for (int e = 0; e < 4 + (ops - 1); ++e) ir.set("irrep_matrix_start", {entry + e}, elements[e]);
    entry += 3 + ops;
  }

  // Isotropy: GM1+ keeps P-1, GM1- gives P1, X1+ and X1- double the cell along a.
  const int iso_sg[] = {2, 1, 2, 1};
  for (int i = 1; i <= 4; ++i) {
    iso.set("isotropy_irrep_first", {i}, i);
    iso.set("isotropy_sg", {i}, iso_sg[i - 1]);
    iso.set("isotropy_opd", {i}, 1);
    for (int a = 1; a <= 3; ++a) iso.set("isotropy_superlattice", {a, a, i}, a == 1 && i >= 3 ? 2 : 1);
  }
  for (int i = 5; i <= 4778; ++i) iso.set("isotropy_irrep_first", {i}, 5);
  im.set("opd_dimension", {1}, 1);
  im.set("opd_parameter_count", {1}, 1);
  im.set("opd_vector_start", {1}, 1);
  im.set("opd_vector_component", {1}, kC1);

  // Characters of the small irreps: 1..2 GM1+ (1, 1), 3..4 GM1- (1, -1); X the same from 5;
  // 9 the one-arm irrep of P-1 at GP, 10 that of P1 at GP.
  const int chars[] = {kC1, kC1, kC1, kCm1, kC1, kC1, kC1, kCm1, kC1, kC1};
  for (int e = 1; e <= 10; ++e) {
    lt.set("small_irrep_1d_value", {1, e}, chars[e - 1]);
    lt.set("small_irrep_1d_value", {2, e}, kC0);
  }
  // Little irreps: 1 GM1+, 2 GM1-, 3 X1+, 4 X1- (P-1); 5 GP1 (P-1, two arms); 6 GP1 (P1, complex).
  struct Little {
    int sg, k, slot, reality, dim, irrep;
    const char* label;
  };
  const Little littles[] = {{2, 1, 1, 1, 1, 1, "GM1+"}, {2, 1, 2, 1, 1, 2, "GM1-"}, {2, 2, 1, 1, 1, 3, "X1+"},
                            {2, 2, 2, 1, 1, 4, "X1-"},  {2, 3, 1, 1, 2, 0, "GP1"},   {1, 3, 1, 3, 2, 0, "GP1"}};
  for (int l = 1; l <= 6; ++l) {
    const Little& x = littles[l - 1];
    lt.set("little_irrep_number", {x.slot, x.k, x.sg}, l);
    lt.set("little_irrep_sg", {l}, x.sg);
    lt.set("little_irrep_kvec", {l}, x.k);
    lt.set("little_irrep_small_irrep", {l}, x.slot);
    lt.set("small_irrep_dimension", {x.slot, x.k, x.sg}, 1);
    lt.set("little_irrep_reality", {l}, x.reality);
    lt.set("little_irrep_dimension", {l}, x.dim);
    lt.set("little_irrep_to_irrep", {l}, x.irrep);
    lt.set_text("little_irrep_label", {l}, x.label);
  }
  // Co-groups: P-1 at GM and X the whole point group (identity, inversion), else the identity.
  for (int k = 1; k <= 2; ++k) {
    lt.set("little_irrep_count", {k, 2}, 2);
    lt.set("little_cogroup_order", {k, 2}, 2);
    lt.set("little_cogroup_ops", {1, k, 2}, 1);
    lt.set("little_cogroup_ops", {2, k, 2}, 25);
    lt.set("small_irrep_1d_start", {k, 2}, 1 + 4 * (k - 1));
  }
  lt.set("little_irrep_count", {3, 2}, 1);
  lt.set("little_cogroup_order", {3, 2}, 1);
  lt.set("little_cogroup_ops", {1, 3, 2}, 1);
  lt.set("small_irrep_1d_start", {3, 2}, 9);
  lt.set("little_irrep_count", {3, 1}, 1);
  lt.set("little_cogroup_order", {3, 1}, 1);
  lt.set("little_cogroup_ops", {1, 3, 1}, 1);
  lt.set("small_irrep_1d_start", {3, 1}, 10);
  // The transformation of the complex irrep of P1 to real form: (1, 1; -i, i) / sqrt 2, by columns.
  lt.set("little_irrep_transform_start", {6}, 1);
  const int transform[4][2] = {{kCRoot, kC0}, {kC0, kCmRoot}, {kCRoot, kC0}, {kC0, kCRoot}};
  for (int e = 0; e < 4; ++e) {
    lt.set("little_irrep_transform_value", {1, e + 1}, transform[e][0]);
    lt.set("little_irrep_transform_value", {2, e + 1}, transform[e][1]);
  }

  // Site-irrep lists, one entry per (irrep, position), each a list of one site irrep: at a site
  // of point group 1 its one irrep; at a site of -1 Ag (1) for the even irreps and Au (2) for
  // the odd ones, both for the induced irrep of P-1. Pool entries: 1 holds 1, 2 holds 2.
  for (const char* prefix : {"irrep_wyc_", "little_irrep_wyc_"}) {
    const std::string p(prefix);
    FixturePayload& block = p == "irrep_wyc_" ? wy : lt;
    const std::string site = p == "irrep_wyc_" ? "irrep_wyc_site_irrep" : "little_irrep_wyc_site_irrep";
    const std::string mult = p == "irrep_wyc_" ? "irrep_wyc_multiplicity" : "little_irrep_wyc_multiplicity";
    for (int v = 1; v <= 3; ++v) {
      block.set(site, {v}, v == 3 ? 1 : v);
      block.set(mult, {v}, 1);
    }
  }
  int next_entry = 1;
  auto add_lists = [&](bool little_list, int owner, int sg, int parity) {
    const std::string p = little_list ? "little_irrep_wyc_" : "irrep_wyc_";
    FixturePayload& block = little_list ? lt : wy;
    block.set(p + "first", {owner}, next_entry);
    const int first = static_cast<int>(wy.get("wyc_first", {sg}));
    for (int w = 1; w <= wy.get("wyc_count", {sg}); ++w) {
      const bool general = wy.get("wyc_site_point_group", {first + w - 1}) == 1;
      // parity 0: both site irreps of -1 (pool entries 1 and 2); 1 even; 2 odd.
      block.set(p + "list_start", {next_entry}, general ? 3 : (parity == 2 ? 2 : 1));
      block.set(p + "list_count", {next_entry}, general || parity != 0 ? 1 : 2);
      ++next_entry;
    }
  };
  for (int i = 1; i <= 4; ++i) add_lists(false, i, 2, i % 2 == 1 ? 1 : 2);
  add_lists(false, 5, 1, 1);
  next_entry = 1;
  add_lists(true, 5, 2, 0);
  add_lists(true, 6, 1, 1);

  // Site point groups 1 (irrep 5) and -1 (irreps 1 = Ag, 2 = Au): polar vectors in the
  // identity irrep of 1 and in Au, axial vectors in Ag; each slot's basis vector is a unit vector.
  wy.set("pg_irrep_count", {1}, 1);
  wy.set("pg_irrep_index", {1, 1}, 5);
  wy.set("pg_irrep_count", {2}, 2);
  wy.set("pg_irrep_index", {1, 2}, 1);
  wy.set("pg_irrep_index", {2, 2}, 2);
  for (int pg = 1; pg <= 2; ++pg) {
    for (int slot = 1; slot <= 3; ++slot) {
      wy.set("pg_vector_irrep", {slot, 1, pg}, pg == 1 ? 1 : 2);
      wy.set("pg_vector_irrep", {slot, 2, pg}, 1);
    }
    const int first = static_cast<int>(wy.get("pg_list_first", {pg}));
    const int count = static_cast<int>(wy.get("pg_list_count", {pg}));
    for (int list = first; list < first + count; ++list) {
      for (int kind = 1; kind <= 2; ++kind) {
        for (int slot = 1; slot <= 3; ++slot) {
          for (int x = 1; x <= 3; ++x) wy.set("pg_vector_basis", {x, slot, kind, list}, x == slot ? kC1 : kC0);
        }
      }
    }
  }
  return f;
}

}  // namespace vibrex::testing
