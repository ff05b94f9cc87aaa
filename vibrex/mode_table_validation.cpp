// Validation of the mode-analysis tables after loading.
//
// The analysis trusts the tables: counts, starts and indices are used without tests, and the work
// arrays have fixed capacities. So everything the analysis can reach is checked once here:
// from each (space group, k index, slot) the little irrep, its small irrep, characters and
// matrices, its stored transformation, its site-irrep lists, its stored irrep with that irrep's
// matrices, site-irrep lists, isotropy entries, order-parameter directions and transformation; and
// from the site point groups of the Wyckoff positions their site irreps and vector slots. The
// first entry that fails is named and the run stops.
#include <array>
#include <map>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "library/exact/arithmetic.hpp"
#include "library/tables/entry_checks.hpp"
#include "library/tables/table_loader.hpp"
#include "vibrex/constants.hpp"
#include "vibrex/isotropy.hpp"
#include "vibrex/mode_tables.hpp"

namespace vibrex {

namespace {

constexpr int kMaxGroupOrder = 48;
constexpr int kMaxParameters = 3;
constexpr int kMaxRealities = 3;
constexpr int kMaxSiteIrreps = 12;
constexpr int kMaxSiteDimension = 3;

using sgl::entry_checks::printable;
using sgl::entry_checks::run_ok;
using sgl::entry_checks::within;

// An index into the numeric constant table, which holds at most 1000 values.
bool constant_index(long long value) { return within(value, 1, kConstCapacity); }

class Validator {
 public:
  Validator(const Tables& t, std::string_view directory)
      : t_(t), stored_checked_(kIrrepCount + 1, false), opd_checked_(kOpdCount + 1, false) {
    // Each array's file, for the stop that names a failing entry.
    auto add = [&](const auto& block, const char* file) {
      const std::string path = sgl::table_file_path(directory, file);
      std::decay_t<decltype(block)>::for_each_array(block, [&](const char* name, const auto&) { file_of_[name] = path; });
    };
    add(t.space, "data_space.bin");
    add(t.wyckoff, "data_wyckoff.bin");
    add(t.image, "data_images.bin");
    add(t.irrep, "data_irreps.bin");
    add(t.little, "data_little.bin");
    add(t.isotropy, "data_isotropy.bin");
  }

  void run() {
    // The second label that every induced irrep prints.
    if (!printable(t_.irrep.irrep_second_label(kIrrepCount).view())) bad("irrep_second_label", {kIrrepCount});
    check_kvector_lists();
    check_site_groups();
    for (int g = 1; g <= sgl::kSpaceGroupCount; ++g) {
      const int lattice = t_.space.sg_bravais(g);
      for (int j = 1; j <= t_.little.kvec_count(lattice); ++j) check_k(g, j);
    }
  }

 private:
  [[noreturn]] void bad(const char* array, std::initializer_list<int> indices, int whole = 0) const {
    const auto found = file_of_.find(array);
    sgl::bad_table_entry(found != file_of_.end() ? std::string_view(found->second) : std::string_view(), array, indices,
                         whole);
  }

  // The number of cells of an isotropy entry's superlattice: the determinant of its basis.
  int superlattice_cells(int e) const {
    sgl::Mat3i s{};
    for (int j = 1; j <= 3; ++j)
      for (int i = 1; i <= 3; ++i) sgl::m3(s, i, j) = t_.isotropy.isotropy_superlattice(i, j, e);
    return sgl::ndet(s);
  }

  int group_order(int g) const { return t_.space.pg_order(t_.space.sg_point_group(g)); }

  bool group_has_point_op(int g, int p) const {
    const int first = t_.space.sg_first_op(g);
    for (int r = first; r < first + group_order(g); ++r) {
      if (t_.space.sg_op_table(5, r) == p) return true;
    }
    return false;
  }

  void check_kvector_lists() {
    for (int lattice = 1; lattice <= sgl::kBravaisTypeCount; ++lattice) {
      const int count = t_.little.kvec_count(lattice);
      if (!within(count, 0, kMaxKVectors)) bad("kvec_count", {lattice});
      for (int j = 1; j <= count; ++j) {
        if (!within(t_.little.kvec_parameter_count(j, lattice), 0, kMaxParameters)) {
          bad("kvec_parameter_count", {j, lattice});
        }
        for (int c = 1; c <= 4; ++c) {
          if (t_.little.kvec_matrix(4, c, j, lattice) < 1) bad("kvec_matrix", {4, c, j, lattice});
        }
        if (!printable(t_.little.kvec_label(j, lattice).view())) bad("kvec_label", {j, lattice});
        // A parameter's direction is not the zero vector (a zone-centre direction is normalised).
        for (int c = 2; c <= 1 + t_.little.kvec_parameter_count(j, lattice); ++c) {
          bool zero = true;
          for (int r = 1; r <= 3; ++r) zero = zero && t_.little.kvec_matrix(r, c, j, lattice) == 0;
          if (zero) bad("kvec_matrix", {c, j, lattice}, 1);
        }
      }
    }
  }

  // Site irreps and vector slots of every site point group that a position has.
  void check_site_groups() {
    std::array<bool, sgl::kPointGroupCount + 1> seen{};
    for (int g = 1; g <= sgl::kSpaceGroupCount; ++g) {
      const int first = t_.wyckoff.wyc_first(g);
      for (int p = first; p < first + t_.wyckoff.wyc_count(g); ++p) seen[t_.wyckoff.wyc_site_point_group(p)] = true;
    }
    for (int pg = 1; pg <= sgl::kPointGroupCount; ++pg) {
      if (!seen[pg]) continue;
      const int count = t_.wyckoff.pg_irrep_count(pg);
      if (!within(count, 0, kMaxSiteIrreps)) bad("pg_irrep_count", {pg});
      for (int r = 1; r <= count; ++r) {
        const int irrep = t_.wyckoff.pg_irrep_index(r, pg);
        if (!within(irrep, 1, kIrrepCount)) bad("pg_irrep_index", {r, pg});
        const int image = t_.irrep.irrep_image(irrep);
        if (!within(image, 1, kImageTransformCount)) bad("irrep_image", {irrep});
        if (!within(t_.image.image_dimension(image), 1, kMaxSiteDimension)) bad("pg_irrep_index", {r, pg});
        if (!within(t_.image.image_reality_type(image), 1, kMaxRealities)) bad("image_reality_type", {image});
      }
      for (int kind = 1; kind <= 2; ++kind) {
        for (int slot = 1; slot <= 3; ++slot) {
          const int r = t_.wyckoff.pg_vector_irrep(slot, kind, pg);
          if (!within(r, 0, count)) bad("pg_vector_irrep", {slot, kind, pg});
          if (r == 0) continue;
          const int list_first = t_.wyckoff.pg_list_first(pg);
          for (int list = list_first; list < list_first + t_.wyckoff.pg_list_count(pg); ++list) {
            for (int x = 1; x <= 3; ++x) {
              if (!constant_index(t_.wyckoff.pg_vector_basis(x, slot, kind, list))) {
                bad("pg_vector_basis", {x, slot, kind, list});
              }
            }
          }
        }
      }
    }
  }

  // A site-irrep list of each position of group g: entries first .. first + count - 1.
  template <typename StartArray, typename CountArray, typename SiteArray, typename MultiplicityArray>
  void check_site_lists(int g, const char* first_name, long long first, long long entry_extent,
                        std::initializer_list<int> owner, const StartArray& start, const char* start_name,
                        const CountArray& count, const char* count_name, const SiteArray& site,
                        const char* site_name, const MultiplicityArray& multiplicity, const char* multiplicity_name,
                        long long site_extent) {
    const int positions = t_.wyckoff.wyc_count(g);
    if (!run_ok(first, positions, entry_extent)) bad(first_name, owner);
    for (int w = 1; w <= positions; ++w) {
      const int e = static_cast<int>(first + w - 1);
      const int n = count(e);
      if (n < 0) bad(count_name, {e});
      if (!run_ok(start(e), n, site_extent)) bad(start_name, {e});
      const int pg = t_.wyckoff.wyc_site_point_group(t_.wyckoff.wyc_first(g) + w - 1);
      for (int s = start(e); s < start(e) + n; ++s) {
        if (!within(site(s), 1, t_.wyckoff.pg_irrep_count(pg))) bad(site_name, {s});
        // A listed site irrep occurs: the mode counts are multiples of its multiplicity.
        if (multiplicity(s) < 1) bad(multiplicity_name, {s});
      }
    }
  }

  void check_k(int g, int j) {
    const CommonLittle& lt = t_.little;
    const int count = lt.little_irrep_count(j, g);
    if (!within(count, 0, kMaxSlots)) bad("little_irrep_count", {j, g});
    if (count == 0) return;
    const int nlittle = lt.little_cogroup_order(j, g);
    if (!within(nlittle, 1, kMaxGroupOrder) || group_order(g) % nlittle != 0) {
      bad("little_cogroup_order", {j, g});
    }
    for (int i = 1; i <= nlittle; ++i) {
      if (!group_has_point_op(g, lt.little_cogroup_ops(i, j, g))) bad("little_cogroup_ops", {i, j, g});
    }
    const int narm = group_order(g) / nlittle;
    for (int m = 1; m <= count; ++m) {
      const int l = lt.little_irrep_number(m, j, g);
      if (!within(l, 0, kLittleIrrepCount)) bad("little_irrep_number", {m, j, g});
      if (l != 0) check_little(g, j, l, nlittle, narm);
    }
  }

  void check_little(int g, int j, int l, int nlittle, int narm) {
    const CommonLittle& lt = t_.little;
    const int lattice = t_.space.sg_bravais(g);
    if (lt.little_irrep_sg(l) != g) bad("little_irrep_sg", {l});
    if (lt.little_irrep_kvec(l) != j) bad("little_irrep_kvec", {l});
    if (!printable(lt.little_irrep_label(l).view())) bad("little_irrep_label", {l});
    const int m = lt.little_irrep_small_irrep(l);
    if (!within(m, 1, kMaxSlots)) bad("little_irrep_small_irrep", {l});
    const int s = lt.small_irrep_dimension(m, j, g);
    if (!within(s, 1, kMaxSmallDimension)) bad("small_irrep_dimension", {m, j, g});
    const int reality = lt.little_irrep_reality(l);
    if (!within(reality, 1, kMaxRealities)) bad("little_irrep_reality", {l});
    const int dim = lt.little_irrep_dimension(l);
    if (dim != narm * s * (reality == 1 ? 1 : 2) || dim > kMaxInducedDimension) {
      bad("little_irrep_dimension", {l});
    }

    const int irrep = lt.little_irrep_to_irrep(l);
    if (!within(irrep, 0, kIrrepCount)) bad("little_irrep_to_irrep", {l});
    if (irrep == 0 && lt.kvec_parameter_count(j, lattice) == 0) bad("little_irrep_to_irrep", {l});

    // Characters (one row of nlittle pairs per small irrep) and matrices of the small irrep: read
    // only to induce a little irrep without a stored one.
    if (irrep == 0) check_small_irrep(g, j, l, m, s, nlittle);

    const long long transform = lt.little_irrep_transform_start(l);
    if (irrep == 0 && reality != 1 && transform == 0) bad("little_irrep_transform_start", {l});
    if (transform != 0) {
      if (!run_ok(transform, static_cast<long long>(dim) * dim, 12200)) {
        bad("little_irrep_transform_start", {l});
      }
      for (long long e = transform; e < transform + static_cast<long long>(dim) * dim; ++e) {
        for (int part = 1; part <= 2; ++part) {
          if (!constant_index(lt.little_irrep_transform_value(part, e))) {
            bad("little_irrep_transform_value", {part, static_cast<int>(e)});
          }
        }
      }
    }

    // The analysis reads the little irrep's own site lists at k vectors with parameters and for an
    // irrep without a stored one; otherwise those of the stored irrep.
    if (lt.kvec_parameter_count(j, lattice) > 0 || irrep == 0) {
      check_site_lists(g, "little_irrep_wyc_first", lt.little_irrep_wyc_first(l), 47000, {l},
                     lt.little_irrep_wyc_list_start, "little_irrep_wyc_list_start", lt.little_irrep_wyc_list_count,
                     "little_irrep_wyc_list_count", lt.little_irrep_wyc_site_irrep, "little_irrep_wyc_site_irrep",
                       lt.little_irrep_wyc_multiplicity, "little_irrep_wyc_multiplicity", 104000);
    }
    if (irrep != 0) check_stored(g, l, irrep, reality, dim);
  }

  void check_small_irrep(int g, int j, int l, int m, int s, int nlittle) {
    const CommonLittle& lt = t_.little;
    const long long chars = static_cast<long long>(lt.small_irrep_1d_start(j, g)) + static_cast<long long>(m - 1) * nlittle;
    if (!run_ok(chars, nlittle, 11200)) bad("small_irrep_1d_start", {j, g});
    for (long long e = chars; e < chars + nlittle; ++e) {
      for (int part = 1; part <= 2; ++part) {
        if (!constant_index(lt.small_irrep_1d_value(part, e))) bad("small_irrep_1d_value", {part, static_cast<int>(e)});
      }
    }
    if (s > 1) {
      const long long start = lt.small_irrep_matrix_start(l);
      if (!run_ok(start, static_cast<long long>(nlittle) * s * s, 107000)) bad("small_irrep_matrix_start", {l});
      for (long long e = start; e < start + static_cast<long long>(nlittle) * s * s; ++e) {
        for (int part = 1; part <= 2; ++part) {
          if (!constant_index(lt.small_irrep_matrix_value(part, e))) {
            bad("small_irrep_matrix_value", {part, static_cast<int>(e)});
          }
        }
      }
    }
  }

  void check_stored(int g, int l, int i, int reality, int dim) {
    const CommonIrrep& ir = t_.irrep;
    if (ir.irrep_sg(i) != g) bad("irrep_sg", {i});
    const int image = ir.irrep_image(i);
    if (!within(image, 1, reality == 1 ? kImageCount : kImageTransformCount)) bad("irrep_image", {i});
    const int n = t_.image.image_dimension(image);
    if (!within(n, 1, kMaxStoredDimension)) bad("image_dimension", {image});
    if (!within(t_.image.image_reality_type(image), 1, kMaxRealities)) bad("image_reality_type", {image});
    if (!printable(ir.irrep_label(i).view())) bad("irrep_label", {i});
    if (!printable(ir.irrep_second_label(i).view())) bad("irrep_second_label", {i});
    if (n != dim) bad("little_irrep_dimension", {l});

    // Transformation to complex form of an image that is not real.
    if (reality != 1) {
      const long long start = t_.image.image_transform_start(image);
      const long long values = 2LL * n * n;
      if (!run_ok(start, values, 4840)) bad("image_transform_start", {image});
      for (long long x = start; x < start + values; ++x) {
        if (!constant_index(t_.image.image_transform_value(x))) bad("image_transform_value", {static_cast<int>(x)});
      }
    }

    // The rest depends on the stored irrep alone.
    if (stored_checked_[i]) return;
    stored_checked_[i] = true;

    // Translation matrices, then one matrix per operator of the group.
    const long long first = ir.irrep_matrix_first(i);
    const int entries = 3 + group_order(g);
    if (!run_ok(first, entries, 80000)) bad("irrep_matrix_first", {i});
    for (long long e = first; e < first + entries; ++e) {
      const long long start = ir.irrep_matrix_start(e);
      if (!run_ok(start, static_cast<long long>(n) * n, 170000)) bad("irrep_matrix_start", {static_cast<int>(e)});
      for (long long x = start; x < start + static_cast<long long>(n) * n; ++x) {
        if (!constant_index(ir.irrep_matrix_element(x))) bad("irrep_matrix_element", {static_cast<int>(x)});
      }
    }

    const sgl::CommonWyckoff& w = t_.wyckoff;
    check_site_lists(g, "irrep_wyc_first", w.irrep_wyc_first(i), 44000, {i}, w.irrep_wyc_list_start,
                     "irrep_wyc_list_start", w.irrep_wyc_list_count, "irrep_wyc_list_count", w.irrep_wyc_site_irrep,
                     "irrep_wyc_site_irrep", w.irrep_wyc_multiplicity, "irrep_wyc_multiplicity", 61000);

    // Isotropy entries and their order-parameter directions.
    const CommonIsotropy& iso = t_.isotropy;
    const int a = iso.isotropy_irrep_first(i);
    const int b = iso.isotropy_irrep_first(i + 1);
    if (!within(a, 1, kIsotropyEntryCount + 1)) bad("isotropy_irrep_first", {i});
    if (!within(b, a, kIsotropyEntryCount + 1)) bad("isotropy_irrep_first", {i + 1});
    for (int e = a; e < b; ++e) {
      if (!within(iso.isotropy_sg(e), 1, sgl::kSpaceGroupCount)) bad("isotropy_sg", {e});
      const int o = iso.isotropy_opd(e);
      if (!within(o, 1, kOpdCount)) bad("isotropy_opd", {e});
      // A right-handed superlattice of at most 64 cells, which the supercell is built on.
      if (!within(superlattice_cells(e), 1, kMaxSuperlatticeCells)) bad("isotropy_superlattice", {e}, 2);
      check_opd(o);
    }
  }

  void check_opd(int o) {
    if (opd_checked_[o]) return;
    opd_checked_[o] = true;
    const CommonImage& im = t_.image;
    const int dim = im.opd_dimension(o);
    const int count = im.opd_parameter_count(o);
    if (!within(dim, 1, kMaxInducedDimension)) bad("opd_dimension", {o});
    if (!within(count, 1, kMaxInducedDimension)) bad("opd_parameter_count", {o});
    const long long start = im.opd_vector_start(o);
    if (!run_ok(start, static_cast<long long>(dim) * count, 27300)) bad("opd_vector_start", {o});
    for (long long x = start; x < start + static_cast<long long>(dim) * count; ++x) {
      if (!constant_index(im.opd_vector_component(x))) bad("opd_vector_component", {static_cast<int>(x)});
    }
  }

  const Tables& t_;
  std::vector<bool> stored_checked_;
  std::vector<bool> opd_checked_;
  std::map<std::string_view, std::string> file_of_;
};

}  // namespace

void validate_mode_tables(const Tables& t, std::string_view directory) { Validator(t, directory).run(); }

}  // namespace vibrex
