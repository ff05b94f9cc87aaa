// The common cell of a lattice pair: its trace block, the translations of both primitive
// lattices inside it, the common operations and the placement of every atom.
#include "duopath/common_cell.hpp"

#include <string>

#include "duopath/report_fields.hpp"
#include "duopath/run.hpp"
#include "library/exact/arithmetic.hpp"
#include "library/geometry/real_vector.hpp"
#include "library/groups/get_new_fractionals.hpp"
#include "library/text/bomb.hpp"

namespace duopath {

namespace {

// inverse / den times the numerators of v over v's denominator, in translation normal form.
sgl::RationalVector in_common_cell(const sgl::Mat3i& inverse, int32_t inverse_den, const sgl::RationalVector& v,
                                   int32_t v_den) {
  sgl::RationalVector w{};
  sgl::vmlt(inverse, v.data(), w.data());
  w[3] = static_cast<int32_t>(static_cast<int64_t>(v_den) * inverse_den);
  sgl::reduc2(w);
  sgl::reduc1(w);
  return w;
}

}  // namespace

bool Run::common_cell() {
  const PreparedCrystal& p1 = prepared[0];
  const PreparedCrystal& p2 = prepared[1];
  if (settings.trace) {
    ++counters.tried_pair_count;
    if (counters.separator_due) {
      sgl::write_free(6);
      report("(a)", {"---------------------------------------"});
      counters.separator_due = false;
    }
    report("(a)", {"Try lattice vectors " + integer_field(counters.tried_pair_count, 4) + ":"});
    report("(2x,a)", {"Crystal 1: " + cell_vectors_text(p1.primitive_basis, p1.primitive_basis_den, pair.cell1)});
    report("(2x,a)", {"Crystal 2: " + cell_vectors_text(p2.primitive_basis, p2.primitive_basis_den, pair.cell2)});
    const auto& s = pair.principal_stretches;
    report("(a,3f8.3)", {"  Principal values of strain tensor: ", s[0], s[1], s[2]});
    report("(a,i2)", {"  Size wrt crystal 1 = ", pair.cell_size});
    if (settings.trace_lattice2) return false;
  }

  // Translations of both primitive lattices inside the common cell.
  const std::array<const sgl::Mat3i*, 2> cells{&pair.cell1, &pair.cell2};
  const std::array<int32_t, 2> sizes{pair.cell_size, pair.cell2_size};
  for (int c = 0; c < 2; ++c) {
    std::vector<sgl::RationalVector>& list = common.cell_translations[c];
    list.assign(static_cast<std::size_t>(sizes[c]), sgl::RationalVector{});
    int32_t count = 0;
    sgl::get_new_fractionals(*cells[c], count, list);
    if (count != sizes[c]) sgl::bomb();
    if (c == 0) {
      common.internal_translations.clear();
      for (const sgl::RationalVector& t : list) {
        common.internal_translations.push_back(in_common_cell(pair.cell1_inverse, pair.cell1_inverse_den, t, 1));
      }
    }
  }

  // Common operations: crystal-1 rotations that keep the trial lattice and whose image in crystal
  // 2's primitive basis is a rotation of crystal 2.
  common.common_op_count = 0;
  for (const sgl::SpaceOp& op : p1.operators) {
    const std::size_t p = static_cast<std::size_t>(op[4]);
    sgl::Mat3i a{};
    sgl::matmlt(pair.cell1_inverse, p1.primitive_rotations[p], a);
    sgl::matmlt(a, pair.cell1, a);
    int32_t a_den = pair.cell1_inverse_den;
    sgl::reduc3(a, a_den);
    if (a_den != 1) continue;
    sgl::Mat3i b{};
    sgl::matmlt(pair.cell2, pair.cell1_inverse, b);
    sgl::matmlt(b, p1.primitive_rotations[p], b);
    sgl::matmlt(b, pair.cell1, b);
    sgl::matmlt(b, pair.cell2_inverse, b);
    int32_t b_den = static_cast<int32_t>(static_cast<int64_t>(pair.cell1_inverse_den) * pair.cell2_inverse_den);
    sgl::reduc3(b, b_den);
    if (b_den != 1) continue;
    const sgl::SpaceOp* match = nullptr;
    for (const sgl::SpaceOp& op2 : p2.operators) {
      if (p2.primitive_rotations[static_cast<std::size_t>(op2[4])] == b) {
        match = &op2;
        break;
      }
    }
    if (match == nullptr) continue;
    auto& entry = common.common_ops[static_cast<std::size_t>(common.common_op_count++)];
    const sgl::RationalVector t1 = in_common_cell(pair.cell1_inverse, pair.cell1_inverse_den,
                                                  {op[0], op[1], op[2], 1}, op[3]);
    const sgl::RationalVector t2 = in_common_cell(pair.cell2_inverse, pair.cell2_inverse_den,
                                                  {(*match)[0], (*match)[1], (*match)[2], 1}, (*match)[3]);
    entry[0] = {t1[0], t1[1], t1[2], t1[3], op[4]};
    entry[1] = {t2[0], t2[1], t2[2], t2[3], (*match)[4]};
  }

  const int32_t n_atoms = p1.atom_count * pair.cell_size;
  common.common_atom_count = n_atoms;
  if (settings.map_given && settings.atom_map.atom_count != n_atoms) {
    // Both counts: the one the map line asked for and the one of the common cell reached.
    sgl::write_free(6, {"Number of atoms in common unit cell (" + std::to_string(n_atoms) + ") does not equal"});
    sgl::write_free(6, {"number of atoms entered following the map keyword (" +
                        std::to_string(settings.atom_map.atom_count) + ")"});
    sgl::bomb();
  }

  // Placement: atom (a - 1) n_c + k of crystal c is primitive atom a shifted by translation k.
  const std::array<const PreparedCrystal*, 2> crystals_of{&p1, &p2};
  const std::array<const sgl::Mat3i*, 2> inverses{&pair.cell1_inverse, &pair.cell2_inverse};
  const std::array<int32_t, 2> inverse_dens{pair.cell1_inverse_den, pair.cell2_inverse_den};
  for (int c = 0; c < 2; ++c) {
    const PreparedCrystal& pc = *crystals_of[c];
    common.common_types[c].assign(static_cast<std::size_t>(n_atoms), 0);
    common.common_positions[c].assign(static_cast<std::size_t>(n_atoms), std::array<double, 3>{});
    std::size_t counter = 0;
    for (std::size_t a = 0; a < pc.atom_positions.size(); ++a) {
      for (const sgl::RationalVector& t : common.cell_translations[c]) {
        if (counter >= static_cast<std::size_t>(n_atoms)) sgl::bomb();
        common.common_types[c][counter] = pc.atom_types[a];
        std::array<double, 3> y{};
        for (int i = 0; i < 3; ++i) y[i] = pc.atom_positions[a][i] + t[i];
        std::array<double, 3> x{};
        for (int i = 1; i <= 3; ++i) {
          double sum = 0.0;
          for (int j = 1; j <= 3; ++j) sum += sgl::m3(*inverses[c], i, j) * y[j - 1] / inverse_dens[c];
          x[i - 1] = sum;
        }
        sgl::zero_to_one(x);
        common.common_positions[c][counter] = x;
        ++counter;
      }
    }
    if (counter != static_cast<std::size_t>(n_atoms)) sgl::bomb();
  }
  return true;
}

}  // namespace duopath
