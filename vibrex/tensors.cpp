// Invariant tensors.
#include "vibrex/tensors.hpp"

#include <cmath>
#include <cstdlib>

#include "library/groups/change_setting.hpp"
#include "library/groups/space_group.hpp"
#include "library/text/bomb.hpp"
#include "vibrex/single_precision.hpp"
#include "vibrex/stored_irrep.hpp"

namespace vibrex {

namespace {

int32_t power3(int32_t n) {
  int32_t p = 1;
  for (int32_t i = 0; i < n; ++i) p *= 3;
  return p;
}

// x rounded to the nearest integer, halves away from zero.
long long nearest(float x) { return std::llround(wide(x)); }

// The product over k of R(i_k, r_k) in double precision, or 0 when a factor is zero by the test;
// negated for an axial tensor and an improper operation.
double transformed(const Mat3f& r, std::span<const int32_t> i, std::span<const int32_t> rep, int32_t rank,
                   double sign) {
  double p = sign;
  for (int32_t k = 0; k < rank; ++k) {
    const float f = at3(r, i[k], rep[k]);
    if (ncmp(f) == 0) return 0.0;
    p *= wide(f);
  }
  return p;
}

}  // namespace

TensorCommon& common_tensor() {
  static TensorCommon c;
  return c;
}

void tensor_pack(std::span<const int32_t> idx, int32_t& code) {
  code = 0;
  for (int32_t i = 0; i < common_tensor().tensor_rank; ++i) code = code * 3 + (idx[i] - 1);
}

void tensor_unpack(int32_t code, std::span<int32_t> idx) {
  for (int32_t i = common_tensor().tensor_rank; i >= 1; --i) {
    idx[i - 1] = code % 3 + 1;
    code /= 3;
  }
}

int32_t ifactorial(int32_t n) {
  if (n < 0) sgl::bomb();
  int64_t f = 1;
  for (int32_t i = 2; i <= n; ++i) {
    f *= i;
    // 12! is the largest factorial of 32 bits.
    if (f > INT32_MAX) sgl::bomb();
  }
  return static_cast<int32_t>(f);
}

const std::vector<Permutation>& permutation_table() {
  static const std::vector<Permutation> table = [] {
    std::vector<Permutation> list(1);
    list[0].to[0] = 1;
    for (int32_t n = 2; n <= kMaxTensorRank; ++n) {
      std::vector<Permutation> next;
      next.reserve(list.size() * static_cast<std::size_t>(n));
      for (Permutation p : list) {
        p.to[static_cast<std::size_t>(n - 1)] = n;
        next.push_back(p);
      }
      for (const Permutation& parent : list) {
        for (int32_t pos = n - 1; pos >= 1; --pos) {
          Permutation p;
          int32_t from = 0;
          for (int32_t t = 1; t <= n; ++t)
            p.to[static_cast<std::size_t>(t - 1)] = t == pos ? n : parent.to[static_cast<std::size_t>(from++)];
          p.sign = parent.sign * ((n - pos) % 2 == 0 ? 1 : -1);
          next.push_back(p);
        }
      }
      list = std::move(next);
    }
    return list;
  }();
  return table;
}

const std::array<Mat3f, 72>& rotation_table(const sgl::CommonSpace& cs) {
  static bool built = false;
  static std::array<Mat3f, 72> table{};
  if (built) return table;
  const Mat3f a{0.866025f, -0.5f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f};  // by columns
  const Mat3f ainv{1.1547f, 0.57735f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f};
  for (int32_t p = 1; p <= 72; ++p) {
    Mat3f r{};
    for (int32_t j = 1; j <= 3; ++j)
      for (int32_t i = 1; i <= 3; ++i) at3(r, i, j) = static_cast<float>(cs.point_op_rot(i, j, p));
    if (p > 48) {
      Mat3f ar{};
      for (int32_t j = 1; j <= 3; ++j)
        for (int32_t i = 1; i <= 3; ++i) {
          double s = 0.0;
          for (int32_t k = 1; k <= 3; ++k) s += wide(at3(a, i, k)) * wide(at3(r, k, j));
          at3(ar, i, j) = store_single(s);
        }
      for (int32_t j = 1; j <= 3; ++j)
        for (int32_t i = 1; i <= 3; ++i) {
          double s = 0.0;
          for (int32_t k = 1; k <= 3; ++k) s += wide(at3(ar, i, k)) * wide(at3(ainv, k, j));
          at3(r, i, j) = store_single(s);
        }
    }
    table[static_cast<std::size_t>(p - 1)] = r;
  }
  built = true;
  return table;
}

void tensor_basis(const Tables& t, int32_t irrep, int32_t parity, int32_t rank, std::span<const int32_t> index_groups,
                  int32_t& mult, std::vector<float>& basis, int32_t& nind, std::vector<int32_t>& ind) {
  // The index tuples, permutations and the 3 x 3 Cartesian matrices bound the rank and dimension.
  if (rank < 0 || rank > kMaxTensorRank) sgl::bomb();
  common_tensor().tensor_rank = rank;
  if (t.irrep.irrep_label(irrep).view().substr(0, 2) != "GM") sgl::bomb();
  const sgl::CommonSpace& cs = t.space;
  const int32_t sg = t.irrep.irrep_sg(irrep);
  int32_t nsg = 0;
  std::array<sgl::SpaceOp, sgl::kMaxGroupOps> ops{};
  sgl::generate_space_group(cs, sg, nsg, ops);
  const int32_t dim = t.image.image_dimension(t.irrep.irrep_image(irrep));
  if (dim < 1 || dim > 3) sgl::bomb();

  // Characters and matrices of the irrep; Cartesian matrices of the operators.
  struct OpData {
    Mat3f r{};
    double sign = 1.0;
    StoredMatrix d{};
    float chi = 0.0f;
  };
  std::vector<OpData> g(static_cast<std::size_t>(nsg));
  float s = 0.0f;
  for (int32_t n = 0; n < nsg; ++n) {
    OpData& o = g[static_cast<std::size_t>(n)];
    int32_t error = 0;
    float unused = 0.0f;
    get_irrep(t, 2, irrep, ops[static_cast<std::size_t>(n)], unused, o.d, error);
    if (error != 0) sgl::bomb();
    double tr = 0.0;
    for (int32_t i = 0; i < dim; ++i) tr += wide(o.d[static_cast<std::size_t>(i * kStoredLead + i)]);
    o.chi = store_single(tr);
    s = store_single(wide(s) + wide(o.chi) * wide(o.chi));
  }
  const long long nsq = nearest(s);
  if (!(std::fabs(wide(s) - static_cast<double>(nsq)) <= wide(0.001f)) || nsq % nsg != 0) sgl::bomb();
  const long long norm = nsq / nsg;
  if (norm != 1 && norm != 2) sgl::bomb();

  const std::array<Mat3f, 72>& rot = rotation_table(cs);
  for (int32_t n = 0; n < nsg; ++n) {
    sgl::SpaceOp conv{};
    sgl::op_change_setting(cs, sg, "pml", "cinter", ops[static_cast<std::size_t>(n)], conv);
    OpData& o = g[static_cast<std::size_t>(n)];
    o.r = rot[static_cast<std::size_t>(conv[4] - 1)];
    o.sign = (parity == -1 && !cs.point_op_proper(conv[4]).value) ? -1.0 : 1.0;
  }

  // Classes of the packed indices under the index symmetries.
  const int32_t npacked = power3(rank);
  std::vector<int32_t> cls(static_cast<std::size_t>(npacked)), weight(static_cast<std::size_t>(npacked), 1);
  for (int32_t i = 0; i < npacked; ++i) cls[static_cast<std::size_t>(i)] = i;
  const std::vector<Permutation>& perms = permutation_table();
  std::size_t at = 0;
  while (at < index_groups.size() && index_groups[at] != 0) {
    const int32_t count = index_groups[at];
    const int32_t size = std::abs(count);
    if (size > rank || at + static_cast<std::size_t>(size) >= index_groups.size()) sgl::bomb();
    std::span<const int32_t> pos = index_groups.subspan(at + 1, static_cast<std::size_t>(size));
    at += static_cast<std::size_t>(size) + 1;
    std::vector<char> visited(static_cast<std::size_t>(npacked), 0);
    const int32_t nperm = ifactorial(size);
    std::array<int32_t, kMaxTensorRank> ti{}, tj{};
    for (int32_t i = 0; i < npacked; ++i) {
      if (visited[static_cast<std::size_t>(i)] != 0) continue;
      visited[static_cast<std::size_t>(i)] = 1;
      tensor_unpack(i, ti);
      for (int32_t q = 2; q <= nperm; ++q) {
        const Permutation& perm = perms[static_cast<std::size_t>(q - 1)];
        tj = ti;
        for (int32_t u = 0; u < size; ++u) tj[pos[u] - 1] = ti[pos[perm.to[u] - 1] - 1];
        int32_t j = 0;
        tensor_pack(tj, j);
        visited[static_cast<std::size_t>(j)] = 1;
        const int32_t ci = cls[static_cast<std::size_t>(i)], cj = cls[static_cast<std::size_t>(j)];
        if (ci == cj) continue;
        const int32_t keep = std::min(ci, cj), drop = std::max(ci, cj);
        const int32_t factor = weight[static_cast<std::size_t>(i)] * weight[static_cast<std::size_t>(j)] * perm.sign;
        for (int32_t x = 0; x < npacked; ++x) {
          if (cls[static_cast<std::size_t>(x)] != drop) continue;
          cls[static_cast<std::size_t>(x)] = keep;
          if (count < 0) weight[static_cast<std::size_t>(x)] *= factor;
        }
      }
    }
  }

  // Components, in the order of their smallest packed index.
  std::vector<int32_t> comp(static_cast<std::size_t>(npacked), 0);
  std::vector<int32_t> class_comp(static_cast<std::size_t>(npacked), 0);
  ind.clear();
  for (int32_t i = 0; i < npacked; ++i) {
    int32_t& c = class_comp[static_cast<std::size_t>(cls[static_cast<std::size_t>(i)])];
    if (c == 0) {
      ind.push_back(i);
      c = static_cast<int32_t>(ind.size());
    }
    comp[static_cast<std::size_t>(i)] = c;
  }
  nind = static_cast<int32_t>(ind.size());
  std::vector<std::array<int32_t, kMaxTensorRank>> tuple(static_cast<std::size_t>(npacked));
  for (int32_t i = 0; i < npacked; ++i) tensor_unpack(i, tuple[static_cast<std::size_t>(i)]);

  // Character of the tensor representation and the multiplicity.
  float m = 0.0f;
  for (const OpData& o : g) {
    float chit = 0.0f;
    for (int32_t i = 0; i < npacked; ++i) {
      const auto& rep =
          tuple[static_cast<std::size_t>(ind[static_cast<std::size_t>(comp[static_cast<std::size_t>(i)] - 1)])];
      const double p = transformed(o.r, tuple[static_cast<std::size_t>(i)], rep, rank, o.sign);
      if (p != 0.0) chit = store_single(wide(chit) + wide(static_cast<float>(weight[static_cast<std::size_t>(i)])) * p);
    }
    m = store_single(wide(m) + wide(o.chi) * wide(chit));
  }
  basis.clear();
  if (ncmp(m) == 0) {
    mult = 0;
    return;
  }
  const long long k = nearest(m);
  if (!(std::fabs(wide(m) - static_cast<double>(k)) <= wide(0.001f)) || k % (nsg * norm) != 0) sgl::bomb();
  mult = static_cast<int32_t>(k / nsg / norm);
  if (mult <= 0) sgl::bomb();

  // Basis: each component projected onto each row of the irrep, kept when independent.
  const std::size_t tensor_size = static_cast<std::size_t>(nind) * static_cast<std::size_t>(dim);
  basis.assign(tensor_size * static_cast<std::size_t>(mult), 0.0f);
  auto entry = [&](std::vector<float>& v, int32_t d, int32_t b, int32_t tn) -> float& {
    return v[static_cast<std::size_t>(tn - 1) * tensor_size +
             static_cast<std::size_t>(b - 1) * static_cast<std::size_t>(nind) + static_cast<std::size_t>(d - 1)];
  };
  std::vector<float> candidate(tensor_size);
  std::vector<std::vector<float>> pg(static_cast<std::size_t>(nsg), std::vector<float>(static_cast<std::size_t>(nind)));
  int32_t tn = 1;
  for (int32_t c = 1; c <= nind; ++c) {
    const auto& rep = tuple[static_cast<std::size_t>(ind[static_cast<std::size_t>(c - 1)])];
    for (int32_t n = 0; n < nsg; ++n) {
      std::vector<float>& p = pg[static_cast<std::size_t>(n)];
      std::fill(p.begin(), p.end(), 0.0f);
      const OpData& o = g[static_cast<std::size_t>(n)];
      for (int32_t i = 0; i < npacked; ++i) {
        const double v = transformed(o.r, tuple[static_cast<std::size_t>(i)], rep, rank, o.sign);
        if (v == 0.0) continue;
        float& slot = p[static_cast<std::size_t>(comp[static_cast<std::size_t>(i)] - 1)];
        slot = store_single(wide(slot) + wide(static_cast<float>(weight[static_cast<std::size_t>(i)])) * v);
      }
    }
    for (int32_t a = 1; a <= dim; ++a) {
      for (int32_t b = 1; b <= dim; ++b) {
        for (int32_t d = 1; d <= nind; ++d) {
          float sum = 0.0f;
          for (int32_t n = 0; n < nsg; ++n) {
            const OpData& o = g[static_cast<std::size_t>(n)];
            sum = store_single(wide(sum) + wide(o.d[static_cast<std::size_t>((a - 1) * kStoredLead + (b - 1))]) *
                                               wide(pg[static_cast<std::size_t>(n)][static_cast<std::size_t>(d - 1)]));
          }
          candidate[static_cast<std::size_t>(b - 1) * static_cast<std::size_t>(nind) +
                    static_cast<std::size_t>(d - 1)] = sum;
        }
      }
      bool row1 = false;
      for (int32_t d = 1; d <= nind; ++d) row1 = row1 || ncmp(candidate[static_cast<std::size_t>(d - 1)]) != 0;
      if (!row1) continue;
      if (tn > 1) {
        // The accepted tensors and the candidate, one row per irrep row, reduced as a copy so
        // that the accepted tensors stay as they were accepted.
        const int32_t rows = tn * dim;
        std::vector<float> work(static_cast<std::size_t>(rows) * static_cast<std::size_t>(nind));
        for (int32_t u = 1; u <= tn; ++u)
          for (int32_t b = 1; b <= dim; ++b)
            for (int32_t d = 1; d <= nind; ++d) {
              const float v = u < tn ? entry(basis, d, b, u)
                                     : candidate[static_cast<std::size_t>(b - 1) * static_cast<std::size_t>(nind) +
                                                 static_cast<std::size_t>(d - 1)];
              work[static_cast<std::size_t>(d - 1) * static_cast<std::size_t>(rows) +
                   static_cast<std::size_t>((u - 1) * dim + b - 1)] = v;
            }
        xrowop2(work, rows, nind, rows);
        bool last = false;
        for (int32_t d = 1; d <= nind; ++d)
          last = last || ncmp(work[static_cast<std::size_t>(d - 1) * static_cast<std::size_t>(rows) +
                                   static_cast<std::size_t>(rows - 1)]) != 0;
        if (!last) continue;
      }
      // Scale: the smallest nonzero magnitude becomes 1, the first nonzero entry positive.
      float smallest = 0.0f, first = 0.0f;
      for (float v : candidate) {
        if (ncmp(v) == 0) continue;
        if (first == 0.0f) first = v;
        if (smallest == 0.0f || std::fabs(v) < smallest) smallest = std::fabs(v);
      }
      const double scale = first < 0.0f ? -wide(smallest) : wide(smallest);
      for (int32_t b = 1; b <= dim; ++b)
        for (int32_t d = 1; d <= nind; ++d)
          entry(basis, d, b, tn) =
              store_single(wide(candidate[static_cast<std::size_t>(b - 1) * static_cast<std::size_t>(nind) +
                                          static_cast<std::size_t>(d - 1)]) /
                           scale);
      ++tn;
      if (tn > mult) return;
    }
  }
  sgl::bomb();
}

}  // namespace vibrex
