// Trial lattices of crystal 1 and their partner cells of crystal 2 within the strain bounds.
#include <cmath>
#include <string>

#include "duopath/run.hpp"
#include "library/exact/arithmetic.hpp"
#include "library/geometry/lattice_metric.hpp"
#include "library/geometry/magic_strain.hpp"
#include "library/geometry/real_vector.hpp"
#include "library/text/words.hpp"

namespace duopath {

using sgl::m3;

bool integral_product(const sgl::Mat3i& cell_inverse, int32_t den, const sgl::Mat3i& m) {
  for (int j = 1; j <= 3; ++j) {
    for (int i = 1; i <= 3; ++i) {
      int64_t sum = 0;
      for (int k = 1; k <= 3; ++k) sum += static_cast<int64_t>(m3(cell_inverse, i, k)) * m3(m, k, j);
      if (sum % den != 0) return false;
    }
  }
  return true;
}

std::array<int64_t, 6> lattice_key(const sgl::Mat3i& cell) {
  // Columns of the basis; column operations (unimodular) keep the lattice.
  std::array<std::array<int64_t, 3>, 3> col{};
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i) col[j][i] = cell[j * 3 + i];
  const auto combine = [&](int p, int q, int row) {
    // Euclid on row `row` between columns p and q, leaving q's entry 0.
    while (col[q][row] != 0) {
      const int64_t t = col[p][row] / col[q][row];
      for (int i = 0; i < 3; ++i) col[p][i] -= t * col[q][i];
      std::swap(col[p], col[q]);
    }
  };
  // Row 3 into column 3 alone, then row 2 into column 2 alone among columns 1 and 2.
  combine(2, 0, 2);
  combine(2, 1, 2);
  combine(1, 0, 1);
  for (int j = 0; j < 3; ++j) {
    if (col[j][j] < 0)
      for (int i = 0; i < 3; ++i) col[j][i] = -col[j][i];
  }
  const auto reduce = [&](int target, int by, int row) {
    // Entry `row` of column target into 0 .. pivot - 1 with multiples of column by.
    const int64_t pivot = col[by][row];
    int64_t t = col[target][row] / pivot;
    if (col[target][row] - t * pivot < 0) --t;
    for (int i = 0; i < 3; ++i) col[target][i] -= t * col[by][i];
  };
  reduce(1, 0, 0);
  reduce(2, 1, 1);
  reduce(2, 0, 0);
  return {col[0][0], col[1][0], col[1][1], col[2][0], col[2][1], col[2][2]};
}

namespace {

// "(x,y,z)" of column j of basis x cell over den, each component in lowest terms.
void append_column(std::string& text, int32_t& p, const sgl::Mat3i& basis, int32_t den, const sgl::Mat3i& cell,
                   int j) {
  sgl::Mat3i v{};
  sgl::matmlt(basis, cell, v);
  text[static_cast<std::size_t>(p++)] = '(';
  for (int i = 1; i <= 3; ++i) {
    if (i > 1) text[static_cast<std::size_t>(p++)] = ',';
    sgl::fraction_string(p, text, m3(v, i, j), den);
  }
  text[static_cast<std::size_t>(p++)] = ')';
}

}  // namespace

std::string cell_vectors_text(const sgl::Mat3i& basis, int32_t den, const sgl::Mat3i& cell) {
  // Room for three columns of three fractions of two 11-character numbers each.
  std::string text(400, ' ');
  int32_t p = 0;
  for (int j = 1; j <= 3; ++j) {
    if (j > 1) text[static_cast<std::size_t>(p++)] = ',';
    append_column(text, p, basis, den, cell, j);
  }
  return text.substr(0, static_cast<std::size_t>(p));
}

Run::TrialOutcome Run::trial_lattice(int32_t n) {
  const PreparedCrystal& p1 = prepared[0];
  pair.cell_size = sgl::ndet(pair.cell1);
  if (pair.cell_size <= 0 || pair.cell_size != n) return TrialOutcome::rejected;
  if (static_cast<int64_t>(p1.atom_count) * pair.cell_size % prepared[1].atom_count != 0) {
    return TrialOutcome::rejected;
  }
  sgl::matinv(pair.cell1, pair.cell1_inverse, pair.cell1_inverse_den);

  // Novelty: neither a stored lattice of this size nor its image under a rotation of crystal 1
  // (at size 1 every cell spans the whole lattice). Two cells of one size span the same lattice
  // exactly when one is an integer combination of the other, that is when their Hermite normal
  // forms agree; the forms of every stored lattice and of its images are kept in a set.
  if (known_lattices.count(lattice_key(pair.cell1)) != 0) return TrialOutcome::rejected;
  if (static_cast<int32_t>(trial_lattices.size()) + 1 > max_trial_lattices) {
    sgl::write_free(6, {"maxlattices too small"});
    return TrialOutcome::table_full;
  }
  trial_lattices.push_back({pair.cell_size, pair.cell1});
  known_lattices.insert(lattice_key(pair.cell1));
  if (pair.cell_size != 1) {
    for (std::size_t k = 1; k < p1.operators.size(); ++k) {
      sgl::Mat3i turned{};
      sgl::matmlt(p1.primitive_rotations[static_cast<std::size_t>(p1.operators[k][4])], pair.cell1, turned);
      known_lattices.insert(lattice_key(turned));
    }
  }

  const ShortVectorList& list1 = short_lists[0];
  const std::array<std::array<int, 2>, 3> ab{{{2, 1}, {3, 1}, {3, 2}}};
  for (int q = 0; q < 3; ++q) {
    const auto& a = list1.cartesian[static_cast<std::size_t>(pair.vector_triple1[ab[q][0] - 1] - 1)];
    const auto& b = list1.cartesian[static_cast<std::size_t>(pair.vector_triple1[ab[q][1] - 1] - 1)];
    std::array<double, 3> d{};
    sgl::dvsub(a, b, d, 3);
    pair.pair_distances1[q] = sgl::vlength(3, d);
  }

  for (const sgl::SpaceOp& op : p1.operators) {
    const std::size_t p = static_cast<std::size_t>(op[4]);
    sgl::Mat3i m{};
    sgl::matmlt(pair.cell1_inverse, p1.primitive_rotations[p], m);
    sgl::matmlt(m, pair.cell1, m);
    int32_t den = pair.cell1_inverse_den;
    sgl::reduc3(m, den);
    pair.lattice_ops1[p] = m;
    pair.lattice_ops1_den[p] = den;
  }

  if (settings.trace_lattice1) {
    ++counters.trial_list_number;
    std::string head(80, ' ');
    const sgl::Mat3i& c = pair.cell1;
    sgl::write_text(head, "(i3,i2,2x,3i2,2x,3i2,2x,3i2)",
                    {counters.trial_list_number, pair.cell_size, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8]});
    head.erase(head.find_last_not_of(' ') + 1);
    const std::string line =
        head + "     " + cell_vectors_text(p1.primitive_basis, p1.primitive_basis_den, pair.cell1);
    report("(2x,a)", {line});
    return TrialOutcome::listed;
  }
  return TrialOutcome::accepted;
}

void Run::crystal2_triples() {
  const ShortVectorList& list1 = short_lists[0];
  const ShortVectorList& list2 = short_lists[1];
  const int32_t nsv2 = list2.count();
  const bool given = settings.lattice_given;
  std::array<int32_t, 3> lo{}, hi{};
  for (int c = 0; c < 3; ++c) {
    if (given) {
      lo[c] = 1;
      hi[c] = 3;
      continue;
    }
    const double l = list1.length[static_cast<std::size_t>(pair.vector_triple1[c] - 1)];
    lo[c] = 0;
    for (int32_t j = 1; j <= nsv2; ++j) {
      if (list2.length[static_cast<std::size_t>(j - 1)] > settings.min_strain * l) {
        lo[c] = j;
        break;
      }
    }
    hi[c] = 0;
    for (int32_t j = nsv2; j >= 1; --j) {
      if (list2.length[static_cast<std::size_t>(j - 1)] < settings.max_strain * l) {
        hi[c] = j;
        break;
      }
    }
    if (lo[c] == 0 || hi[c] == 0) return;
  }
  const auto third = [](const ShortVectorList& l, int32_t j) { return l.vectors[static_cast<std::size_t>(j - 1)][2]; };
  const auto fits = [&](int c, int32_t j) {
    if (settings.dim2 && third(list2, j) != third(list1, pair.vector_triple1[c])) return false;
    return !given || j == c + 1;
  };
  const int64_t atoms1 = static_cast<int64_t>(prepared[0].atom_count) * pair.cell_size;
  const std::array<std::array<int, 2>, 3> ab{{{2, 1}, {3, 1}, {3, 2}}};

  for (int32_t j1 = lo[0]; j1 <= hi[0]; ++j1) {
    if (!fits(0, j1)) continue;
    for (int32_t j2 = lo[1]; j2 <= hi[1]; ++j2) {
      if (!fits(1, j2) || j2 == j1) continue;
      for (int32_t j3 = lo[2]; j3 <= hi[2]; ++j3) {
        if (!fits(2, j3)) continue;
        timer.tick();
        if (j3 == j1 || j3 == j2) continue;
        pair.vector_triple2 = {j1, j2, j3};
        for (int c = 0; c < 3; ++c) {
          const auto& col = list2.vectors[static_cast<std::size_t>(pair.vector_triple2[c] - 1)];
          for (int i = 0; i < 3; ++i) pair.cell2[c * 3 + i] = col[i];
        }
        pair.cell2_size = sgl::ndet(pair.cell2);
        if (pair.cell2_size <= 0) continue;
        if (atoms1 != static_cast<int64_t>(prepared[1].atom_count) * pair.cell2_size) continue;
        bool within = true;
        for (int q = 0; q < 3 && within; ++q) {
          std::array<double, 3> d{};
          sgl::dvsub(list2.cartesian[static_cast<std::size_t>(pair.vector_triple2[ab[q][0] - 1] - 1)],
                     list2.cartesian[static_cast<std::size_t>(pair.vector_triple2[ab[q][1] - 1] - 1)], d, 3);
          const double ratio = sgl::vlength(3, d) / pair.pair_distances1[q];
          within = ratio >= settings.min_strain && ratio <= settings.max_strain;
        }
        if (!within) continue;
        for (int c = 0; c < 3; ++c) {
          for (int i = 0; i < 3; ++i) {
            pair.cartesian_cell1[c * 3 + i] = list1.cartesian[static_cast<std::size_t>(pair.vector_triple1[c] - 1)][i];
            pair.cartesian_cell2[c * 3 + i] = list2.cartesian[static_cast<std::size_t>(pair.vector_triple2[c] - 1)][i];
          }
        }
        sgl::magic_strain(pair.cartesian_cell1, pair.cartesian_cell2, pair.principal_stretches);
        for (double s : pair.principal_stretches) {
          within = within && s >= settings.min_strain && s <= settings.max_strain;
        }
        if (!within) continue;
        sgl::dget_gmat2(pair.cartesian_cell1, pair.metric1);
        sgl::dget_gmat2(pair.cartesian_cell2, pair.metric2);
        sgl::matinv(pair.cell2, pair.cell2_inverse, pair.cell2_inverse_den);
        if (!given && !canonical_pair()) continue;
        if (common_cell()) {
          neighbor_lists();
          mapping_paths();
          ++pairs_completed;
        }
      }
    }
  }
}

bool Run::canonical_pair() const {
  const PreparedCrystal& p1 = prepared[0];
  const PreparedCrystal& p2 = prepared[1];
  for (std::size_t k = 0; k < p1.operators.size(); ++k) {
    const std::size_t p = static_cast<std::size_t>(p1.operators[k][4]);
    if (pair.lattice_ops1_den[p] != 1) continue;
    sgl::Mat3i w{};
    sgl::matmlt(pair.cell2, pair.lattice_ops1[p], w);
    std::array<int32_t, 3> m{};
    bool found = true;
    for (int c = 0; c < 3 && found; ++c) {
      m[c] = crystal2_position({w[c * 3], w[c * 3 + 1], w[c * 3 + 2]});
      found = m[c] != 0;
    }
    if (!found) continue;
    const bool proper1 = static_cast<int32_t>(k + 1) <= p1.proper_count;
    for (std::size_t k2 = 0; k2 < p2.operators.size(); ++k2) {
      const bool proper2 = static_cast<int32_t>(k2 + 1) <= p2.proper_count;
      if (proper1 != proper2) continue;
      const std::vector<int32_t>& images = short_vector_images[k2];
      const std::array<int32_t, 3> g{images[static_cast<std::size_t>(m[0] - 1)],
                                     images[static_cast<std::size_t>(m[1] - 1)],
                                     images[static_cast<std::size_t>(m[2] - 1)]};
      if (g[0] == 0 || g[1] == 0 || g[2] == 0) continue;
      if (g < pair.vector_triple2) return false;
    }
  }
  return true;
}

}  // namespace duopath
