// Layout, loading and validation of the mode-analysis tables.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "library/text/text_io.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/vibrex/loaded_fixture.hpp"

namespace vibrex {
namespace {

using sgl::testing::Bombed;
using sgl::testing::BombTrap;
using testing::FileLayout;
using testing::FixturePayload;
using testing::ModeFixture;

std::size_t array_bytes(const testing::ArrayLayout& a) {
  std::size_t n = static_cast<std::size_t>(a.element_bytes);
  for (int e : a.extents) n *= static_cast<std::size_t>(e);
  return n;
}

TEST(ModeTableLayout, HandTypedOffsetsAreContiguous) {
  for (const FileLayout* layout : {&testing::images_layout(), &testing::irreps_layout(), &testing::little_layout(),
                                   &testing::isotropy_layout()}) {
    SCOPED_TRACE(layout->file);
    std::size_t at = 0;
    for (const auto& a : layout->arrays) {
      EXPECT_EQ(a.offset, at) << a.name;
      at = a.offset + array_bytes(a);
    }
    EXPECT_EQ(at, layout->payload);
  }
  EXPECT_EQ(testing::images_layout().arrays.size() + testing::irreps_layout().arrays.size() +
                testing::little_layout().arrays.size() + testing::isotropy_layout().arrays.size(),
            108u);
  // A few offsets as the file layout gives them.
  EXPECT_EQ(testing::find_array(testing::little_layout(), "kvec_matrix").offset, 536896u);
  EXPECT_EQ(testing::find_array(testing::little_layout(), "little_irrep_wyc_list_count").offset, 1022874u);
  EXPECT_EQ(testing::find_array(testing::isotropy_layout(), "isotropy_superlattice").offset, 1568750u);
  EXPECT_EQ(testing::find_array(testing::images_layout(), "image_dimension").offset, 90370u);
}

// A sentinel in the first and the last entry of every array, written at the hand-typed offsets,
// must arrive in the member of that name.
struct Sentinel {
  long long first, last;
};

Sentinel sentinel_for(std::size_t position) {
  return {static_cast<long long>(position % 97) + 1, static_cast<long long>((position * 31) % 89) + 2};
}

void place_sentinels(FixturePayload& p, const std::map<std::string, bool>& skip = {}) {
  std::size_t position = 0;
  for (const auto& a : p.layout().arrays) {
    ++position;
    if (skip.count(a.name) != 0) continue;
    const Sentinel s = sentinel_for(position);
    const std::size_t first = a.offset;
    const std::size_t last = a.offset + array_bytes(a) - static_cast<std::size_t>(a.element_bytes);
    if (a.kind == 'T') {
      for (int b = 0; b < a.element_bytes; ++b) {
        p.bytes()[first + b] = static_cast<char>('A' + (s.first + b) % 26);
        p.bytes()[last + b] = static_cast<char>('a' + (s.last + b) % 26);
      }
      continue;
    }
    for (int b = 0; b < a.element_bytes; ++b) {
      p.bytes()[first + b] = static_cast<char>(b == 0 ? s.first : 0);
      p.bytes()[last + b] = static_cast<char>(b == 0 ? s.last : 0);
    }
  }
}

template <typename Block>
void expect_sentinels(const Block& block, const FileLayout& layout, const std::map<std::string, bool>& skip = {}) {
  std::map<std::string, std::size_t> position;
  for (std::size_t i = 0; i < layout.arrays.size(); ++i) position[layout.arrays[i].name] = i + 1;
  int seen = 0;
  Block::for_each_array(block, [&](const char* name, const auto& table) {
    if (position.count(name) == 0 || skip.count(name) != 0) return;
    ++seen;
    SCOPED_TRACE(name);
    const Sentinel s = sentinel_for(position[name]);
    const auto& flat = table.flat();
    using T = typename std::remove_cvref_t<decltype(table)>::value_type;
    if constexpr (requires { T::chars; }) {
      for (std::size_t b = 0; b < sizeof(T); ++b) {
        EXPECT_EQ(flat.front().chars[b], static_cast<char>('A' + (s.first + static_cast<long long>(b)) % 26));
        EXPECT_EQ(flat.back().chars[b], static_cast<char>('a' + (s.last + static_cast<long long>(b)) % 26));
      }
    } else if constexpr (std::is_same_v<T, sgl::Logical>) {
      EXPECT_TRUE(flat.front().value);
      EXPECT_TRUE(flat.back().value);
    } else if (flat.size() == 1) {
      EXPECT_EQ(static_cast<long long>(flat.front()), s.last);  // one entry, written last
    } else {
      EXPECT_EQ(static_cast<long long>(flat.front()), s.first);
      EXPECT_EQ(static_cast<long long>(flat.back()), s.last);
    }
  });
  EXPECT_EQ(static_cast<std::size_t>(seen), layout.arrays.size() - skip.size());
}

TEST(ModeTableLayout, LoaderPlacesEveryArrayAtItsOffset) {
  ModeFixture f;
  place_sentinels(f.images);
  place_sentinels(f.irreps);
  place_sentinels(f.little);
  place_sentinels(f.isotropy);
  // The Wyckoff arrays that the shared block's own readers need keep their committed values.
  const std::map<std::string, bool> shared{{"wyc_first", true},           {"wyc_count", true},
                                           {"wyc_site_point_group", true}, {"pg_list_first", true},
                                           {"pg_list_count", true}};
  place_sentinels(f.wyckoff, shared);
  auto t = testing::load_fixture(f);
  expect_sentinels(*t->image, testing::images_layout());
  expect_sentinels(*t->irrep, testing::irreps_layout());
  expect_sentinels(*t->little, testing::little_layout());
  expect_sentinels(*t->isotropy, testing::isotropy_layout());
  expect_sentinels(*t->wyckoff, testing::wyckoff_mode_layout(), shared);
}

// The first line written while the call runs and whether it stopped the run.
std::string validation_line(const Tables& t, bool& bombed) {
  BombTrap trap;
  ::testing::internal::CaptureStdout();
  bombed = false;
  try {
    validate_mode_tables(t);
  } catch (const Bombed&) {
    bombed = true;
  }
  sgl::flush(6);
  const std::string out = ::testing::internal::GetCapturedStdout();
  return out.substr(0, out.find('\n'));
}

TEST(ModeTableValidation, StandardFixturePasses) {
  bool bombed = true;
  EXPECT_EQ(validation_line(testing::standard_tables().tables(), bombed), "");
  EXPECT_FALSE(bombed);
}

struct Corruption {
  const char* what;
  std::function<void(ModeFixture&)> damage;
  const char* entry;  // as the validation line names it
};
void PrintTo(const Corruption& c, std::ostream* os) { *os << c.what; }

class ModeTableCorruptions : public ::testing::TestWithParam<Corruption> {};

// The file of the array an entry names ("kvec_count(1)": "data_little.bin").
std::string file_of(const std::string& entry) {
  const std::string name = entry.substr(0, entry.find('('));
  for (const FileLayout* layout : {&testing::images_layout(), &testing::irreps_layout(), &testing::little_layout(),
                                   &testing::isotropy_layout(), &testing::wyckoff_mode_layout()}) {
    for (const auto& a : layout->arrays)
      if (a.name == name) return layout->file;
  }
  return "data_space.bin";
}

TEST_P(ModeTableCorruptions, NamedAndStopped) {
  ModeFixture f = testing::standard_fixture();
  GetParam().damage(f);
  auto t = testing::load_fixture(f);
  bool bombed = false;
  EXPECT_EQ(validation_line(t->tables(), bombed),
            std::string(" Error: invalid data table entry ") + GetParam().entry + " in " + file_of(GetParam().entry));
  EXPECT_TRUE(bombed);
}

INSTANTIATE_TEST_SUITE_P(
    ModeTableValidation, ModeTableCorruptions,
    ::testing::Values(
        Corruption{"k count above 27", [](ModeFixture& f) { f.little.set("kvec_count", {1}, 28); }, "kvec_count(1)"},
        Corruption{"k parameter count 4", [](ModeFixture& f) { f.little.set("kvec_parameter_count", {2, 1}, 4); },
                   "kvec_parameter_count(2,1)"},
        Corruption{"zero denominator of an unused parameter column",
                   [](ModeFixture& f) { f.little.set("kvec_matrix", {4, 3, 1, 1}, 0); }, "kvec_matrix(4,3,1,1)"},
        Corruption{"13 slots", [](ModeFixture& f) { f.little.set("little_irrep_count", {1, 2}, 13); },
                   "little_irrep_count(1,2)"},
        Corruption{"co-group order 0", [](ModeFixture& f) { f.little.set("little_cogroup_order", {3, 2}, 0); },
                   "little_cogroup_order(3,2)"},
        Corruption{"co-group order not dividing the group order",
                   [](ModeFixture& f) { f.little.set("little_cogroup_order", {1, 2}, 3); }, "little_cogroup_order(1,2)"},
        Corruption{"co-group operation outside the group",
                   [](ModeFixture& f) { f.little.set("little_cogroup_ops", {2, 1, 2}, 2); }, "little_cogroup_ops(2,1,2)"},
        Corruption{"little irrep number beyond its table",
                   [](ModeFixture& f) { f.little.set("little_irrep_number", {2, 1, 2}, 10301); },
                   "little_irrep_number(2,1,2)"},
        Corruption{"little irrep of another group", [](ModeFixture& f) { f.little.set("little_irrep_sg", {3}, 1); },
                   "little_irrep_sg(3)"},
        Corruption{"small irrep above 6", [](ModeFixture& f) { f.little.set("small_irrep_dimension", {1, 3, 2}, 7); },
                   "small_irrep_dimension(1,3,2)"},
        Corruption{"reality 4", [](ModeFixture& f) { f.little.set("little_irrep_reality", {5}, 4); },
                   "little_irrep_reality(5)"},
        Corruption{"dimension not arms times small dimension",
                   [](ModeFixture& f) { f.little.set("little_irrep_dimension", {5}, 1); }, "little_irrep_dimension(5)"},
        Corruption{"complex irrep not doubled", [](ModeFixture& f) { f.little.set("little_irrep_dimension", {6}, 1); },
                   "little_irrep_dimension(6)"},
        Corruption{"characters beyond their table",
                   [](ModeFixture& f) { f.little.set("small_irrep_1d_start", {3, 2}, 11200 + 1); },
                   "small_irrep_1d_start(3,2)"},
        Corruption{"character constant index 0 of an induced irrep",
                   [](ModeFixture& f) { f.little.set("small_irrep_1d_value", {2, 9}, 0); },
                   "small_irrep_1d_value(2,9)"},
        Corruption{"no stored irrep at a k vector without parameters",
                   [](ModeFixture& f) { f.little.set("little_irrep_to_irrep", {2}, 0); }, "little_irrep_to_irrep(2)"},
        Corruption{"complex induced irrep without a transformation",
                   [](ModeFixture& f) { f.little.set("little_irrep_transform_start", {6}, 0); },
                   "little_irrep_transform_start(6)"},
        Corruption{"transformation running past its table",
                   [](ModeFixture& f) { f.little.set("little_irrep_transform_start", {6}, 12198); },
                   "little_irrep_transform_start(6)"},
        Corruption{"site irrep beyond the site group's irreps",
                   [](ModeFixture& f) { f.little.set("little_irrep_wyc_site_irrep", {3}, 2); },
                   "little_irrep_wyc_site_irrep(3)"},
        Corruption{"stored site list beyond its table",
                   [](ModeFixture& f) { f.wyckoff.set("irrep_wyc_list_start", {1}, 61001); }, "irrep_wyc_list_start(1)"},
        Corruption{"stored irrep of dimension 25", [](ModeFixture& f) { f.irreps.set("irrep_image", {3}, 3);
                                                                       f.images.set("image_dimension", {3}, 25); },
                   "image_dimension(3)"},
        Corruption{"stored matrix start beyond its table",
                   [](ModeFixture& f) { f.irreps.set("irrep_matrix_start", {2}, 170001); }, "irrep_matrix_start(2)"},
        Corruption{"matrix element constant index 0", [](ModeFixture& f) { f.irreps.set("irrep_matrix_element", {2}, 0); },
                   "irrep_matrix_element(2)"},
        Corruption{"isotropy entry with OPD 701", [](ModeFixture& f) { f.isotropy.set("isotropy_opd", {2}, 701); },
                   "isotropy_opd(2)"},
        Corruption{"isotropy entries running backwards",
                   [](ModeFixture& f) { f.isotropy.set("isotropy_irrep_first", {2}, 1);
                                        f.isotropy.set("isotropy_irrep_first", {1}, 3); },
                   "isotropy_irrep_first(2)"},
        Corruption{"site irrep of dimension 4", [](ModeFixture& f) { f.images.set("image_dimension", {1}, 4); },
                   "pg_irrep_index(1,1)"},
        Corruption{"vector slot naming a missing site irrep",
                   [](ModeFixture& f) { f.wyckoff.set("pg_vector_irrep", {3, 1, 2}, 3); }, "pg_vector_irrep(3,1,2)"}));

}  // namespace
}  // namespace vibrex
