// Real irreps and the transformations of induced irreps to real form.
#include "vibrex/real_irrep.hpp"

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

#include "library/exact/arithmetic.hpp"
#include "library/groups/space_group.hpp"
#include "library/text/bomb.hpp"
#include "library/text/text_io.hpp"
#include "vibrex/constants.hpp"
#include "vibrex/numeric_kernel.hpp"
#include "vibrex/single_precision.hpp"
#include "vibrex/stars.hpp"
#include "vibrex/stored_irrep.hpp"

namespace vibrex {

namespace {

// The stored n x n complex matrix from entry `start` of the transformation values, by columns.
void read_stored_transform(const Tables& t, int32_t start, int32_t n, InducedMatrix& m) {
  // The stored values must lie inside their table.
  if (start < 1 || static_cast<int64_t>(start) - 1 + static_cast<int64_t>(n) * n > 12200) sgl::bomb();
  int32_t e = start;
  for (int32_t c = 1; c <= n; ++c)
    for (int32_t r = 1; r <= n; ++r, ++e)
      zat(m, r, c) = Complex8(constant(t.little.little_irrep_transform_value(1, e)),
                              constant(t.little.little_irrep_transform_value(2, e)));
}

float modulus(Complex8 z) { return store_single(std::sqrt(wide(z.re) * wide(z.re) + wide(z.im) * wide(z.im))); }

Complex8 complex_sqrt(Complex8 z) {
  const std::complex<double> r = std::sqrt(std::complex<double>(wide(z.re), wide(z.im)));
  return Complex8(store_single(r.real()), store_single(r.imag()));
}

// Which transformation is computed: the two differ in their blocks, limits and resets.
enum class Kind { type1, type2 };

// The search for X shared by the two transformations. Variables are numbered from 1; block q
// (1-based) holds variables (q - 1) s^2 + 1 .. q s^2.
class IntertwinerSearch {
 public:
  IntertwinerSearch(const Tables& t, int32_t l, const sgl::RationalVector& par, Kind kind)
      : t_(t), l_(l), par_(par), kind_(kind) {}

  // Pairs, variables, equations, trials; afterwards value(u) and xvar(r, c) hold the result.
  void run();

  int32_t s() const { return s_; }
  int32_t dimx() const { return dimx_; }
  int32_t npair() const { return static_cast<int32_t>(pairs_.size()); }
  std::pair<int32_t, int32_t> pair(int32_t p) const { return pairs_[static_cast<std::size_t>(p - 1)]; }
  Complex8 value(int32_t u) const { return val_[static_cast<std::size_t>(u)]; }
  int32_t xvar(int32_t r, int32_t c) const { return xvar_[static_cast<std::size_t>((c - 1) * dimx_ + (r - 1))]; }

 private:
  void pair_arms();
  void place_variables();
  void build_equations();
  void solve();
  void compute_block(int32_t q);
  Complex8 block_det(int32_t q);
  Complex8& e(int32_t r, int32_t c) { return eq_[static_cast<std::size_t>((c - 1) * cap_ + (r - 1))]; }

  const Tables& t_;
  int32_t l_;
  sgl::RationalVector par_;
  Kind kind_;
  int32_t isg_ = 0, kidx_ = 0, lattice_ = 0, npar_ = 0, s_ = 0, narm_ = 0, dimx_ = 0, nvar_ = 0, nblocks_ = 0;
  int32_t cap_ = 0, rows_ = 0;
  Star star_;
  std::vector<std::pair<int32_t, int32_t>> pairs_;
  std::vector<int32_t> xvar_;
  std::vector<Complex8> eq_;
  std::vector<int32_t> row_of_var_;
  std::vector<Complex8> val_;
};

void IntertwinerSearch::run() {
  const CommonLittle& lt = t_.little;
  isg_ = lt.little_irrep_sg(l_);
  kidx_ = lt.little_irrep_kvec(l_);
  lattice_ = t_.space.sg_bravais(isg_);
  npar_ = lt.kvec_parameter_count(kidx_, lattice_);
  s_ = lt.small_irrep_dimension(lt.little_irrep_small_irrep(l_), kidx_, isg_);
  if (s_ < 1 || s_ > kMaxSmallDimension) sgl::bomb();
  get_star(t_, isg_, kidx_, star_);
  narm_ = star_.narm;
  pair_arms();
  place_variables();
  build_equations();
  solve();
}

void IntertwinerSearch::pair_arms() {
  std::vector<char> marked(static_cast<std::size_t>(narm_ + 1), 0);
  for (int32_t a = 1; a <= narm_; ++a) {
    if (marked[static_cast<std::size_t>(a)] != 0) continue;
    int32_t partner = 0;
    for (int32_t b = a + 1; b <= narm_ && partner == 0; ++b) {
      bool opposite = true;
      for (int32_t c = 1; c <= npar_ + 1 && opposite; ++c) {
        sgl::RationalVector sum;
        sgl::vadd(kmatrix_column(star_.arms[static_cast<std::size_t>(b - 1)], c),
                  kmatrix_column(star_.arms[static_cast<std::size_t>(a - 1)], c), sum);
        if (c == 1) sgl::reduc1(sum);
        opposite = sum[0] == 0 && sum[1] == 0 && sum[2] == 0;
      }
      if (opposite) partner = b;
    }
    if (partner == 0) sgl::bomb();
    marked[static_cast<std::size_t>(partner)] = 1;
    pairs_.emplace_back(a, partner);
  }
  if (2 * npair() != narm_) sgl::bomb();
}

void IntertwinerSearch::place_variables() {
  const int32_t n = t_.little.little_irrep_dimension(l_);
  const int32_t s2 = s_ * s_;
  if (kind_ == Kind::type1) {
    nvar_ = npair() * s2;
    if (nvar_ > 100) {
      sgl::write_free(6, {"Error in transform_type1: nvar is ", nvar_});
      sgl::bomb();
    }
    if (nvar_ != s2 * narm_ / 2) sgl::bomb();
    dimx_ = n;
    nblocks_ = npair();
    cap_ = 50;
  } else {
    nvar_ = 2 * npair() * s2;
    if (nvar_ > 72) sgl::bomb();
    if (nvar_ != s2 * narm_) sgl::bomb();
    dimx_ = n / 2;
    nblocks_ = narm_;
    cap_ = 36;
  }
  // X spans the induced irrep: one s x s block per arm.
  if (dimx_ != narm_ * s_ || dimx_ > kInducedLead) sgl::bomb();
  xvar_.assign(static_cast<std::size_t>(dimx_) * static_cast<std::size_t>(dimx_), 0);
  auto place = [&](int32_t r, int32_t c, int32_t u) { xvar_[static_cast<std::size_t>((c - 1) * dimx_ + (r - 1))] = u; };
  for (int32_t p = 1; p <= npair(); ++p) {
    const int32_t a0 = (pair(p).first - 1) * s_, b0 = (pair(p).second - 1) * s_;
    for (int32_t r = 1; r <= s_; ++r)
      for (int32_t c = 1; c <= s_; ++c) {
        if (kind_ == Kind::type1) {
          const int32_t u = (p - 1) * s2 + (r - 1) * s_ + c;
          place(a0 + r, b0 + c, u);
          place(b0 + c, a0 + r, u);
        } else {
          place(a0 + r, b0 + c, (2 * p - 2) * s2 + (r - 1) * s_ + c);
          place(b0 + r, a0 + c, (2 * p - 1) * s2 + (r - 1) * s_ + c);
        }
      }
  }
}

void IntertwinerSearch::build_equations() {
  eq_.assign(static_cast<std::size_t>(cap_) * static_cast<std::size_t>(nvar_), Complex8{});
  const int32_t pg = t_.space.sg_point_group(isg_);
  const int32_t ngen = t_.space.pg_generator_count(pg);
  std::array<sgl::SpaceOp, 5> gens{};
  sgl::get_generators(t_.space, isg_, gens, "pml");
  rows_ = 0;
  for (int32_t g = 0; g < ngen; ++g) {
    InducedMatrix d{};
    Complex8 z{};
    int32_t error = 0;
    get_irrep_complex(t_, 2, l_, gens[static_cast<std::size_t>(g)], par_, z, d, error);
    if (error != 0) sgl::bomb();
    for (int32_t r = 1; r <= dimx_; ++r) {
      for (int32_t q = 1; q <= dimx_; ++q) {
        if (rows_ == cap_) {
          // No room for another row (36 independent rows of transform_type2).
          sgl::write_free(6, {"Error in transform_type2: neqs too large"});
          sgl::bomb();
        }
        ++rows_;
        for (int32_t u = 1; u <= nvar_; ++u) e(rows_, u) = Complex8{};
        for (int32_t j = 1; j <= dimx_; ++j) {
          if (const int32_t u = xvar(r, j); u != 0) e(rows_, u) = e(rows_, u) + zat(d, j, q);
          if (const int32_t u = xvar(j, q); u != 0) e(rows_, u) = e(rows_, u) - conj(zat(d, r, j));
        }
        if (rows_ == cap_ || (r == dimx_ && q == dimx_)) {
          if (kind_ == Kind::type1)
            zrowop2(eq_, rows_, nvar_, cap_);
          else
            zrowop(eq_, rows_, nvar_);
          int32_t last = 0;
          for (int32_t i = 1; i <= rows_; ++i)
            for (int32_t u = 1; u <= nvar_; ++u)
              if (ncmpz(e(i, u)) != 0) last = i;
          rows_ = last;
          if (kind_ == Kind::type1 && rows_ == cap_) {
            sgl::write_free(6, {"Error in transform_type1: neqs too large"});
            sgl::bomb();
          }
        }
      }
    }
  }
}

void IntertwinerSearch::compute_block(int32_t q) {
  const int32_t s2 = s_ * s_;
  for (int32_t u = (q - 1) * s2 + 1; u <= q * s2; ++u) {
    const int32_t r = row_of_var_[static_cast<std::size_t>(u)];
    if (r == 0) continue;
    ComplexD sum{};
    for (int32_t w = u + 1; w <= nvar_; ++w) sum = sum + e(r, w) * val_[static_cast<std::size_t>(w)];
    val_[static_cast<std::size_t>(u)] = (ComplexD{} - sum) / e(r, u).wide();
  }
}

Complex8 IntertwinerSearch::block_det(int32_t q) {
  std::array<Complex8, kDetLead * kDetLead> y{};
  const int32_t first = (q - 1) * s_ * s_ + 1;
  for (int32_t r = 1; r <= s_; ++r)
    for (int32_t c = 1; c <= s_; ++c)
      y[static_cast<std::size_t>((c - 1) * kDetLead + (r - 1))] =
          val_[static_cast<std::size_t>(first + (r - 1) * s_ + c - 1)];
  return zdet(y, s_);
}

void IntertwinerSearch::solve() {
  // Pivots of the reduced rows; the other variables are free.
  row_of_var_.assign(static_cast<std::size_t>(nvar_ + 1), 0);
  std::vector<int32_t> free;
  int32_t col = 1;
  for (int32_t r = 1; r <= rows_; ++r) {
    while (col <= nvar_ && ncmpz(e(r, col)) == 0) free.push_back(col++);
    if (col <= nvar_) row_of_var_[static_cast<std::size_t>(col++)] = r;
  }
  while (col <= nvar_) free.push_back(col++);
  const int32_t s2 = s_ * s_;
  for (int32_t f : free)
    if (f <= (nblocks_ - 1) * s2) sgl::bomb();

  val_.assign(static_cast<std::size_t>(nvar_ + 1), Complex8{});
  std::vector<int32_t> digit(static_cast<std::size_t>(nvar_ + 1), 0);
  for (;;) {
    compute_block(nblocks_);
    const Complex8 det = block_det(nblocks_);
    bool passed = false;
    if (ncmpz(det) != 0) {
      const float root = store_single(std::pow(wide(modulus(det)), 1.0 / static_cast<double>(s_)));
      for (int32_t u = 1; u <= nvar_; ++u)
        val_[static_cast<std::size_t>(u)] = val_[static_cast<std::size_t>(u)] / Complex8(root, 0.0f);
      passed = true;
      for (int32_t q = 1; q < nblocks_ && passed; ++q) {
        compute_block(q);
        passed = ncmp(store_single(wide(modulus(block_det(q))) - 1.0)) == 0;
      }
    }
    if (passed) return;
    const int32_t v = next_trial(free, digit);
    if (v == 0) sgl::bomb();
    trial_values(val_, digit, kind_ == Kind::type1 ? v : nvar_);
  }
}

bool same_parameters(const sgl::RationalVector& a, const sgl::RationalVector& b, int32_t npar) {
  if (npar == 0) return true;
  for (int32_t i = 0; i < npar; ++i)
    if (a[static_cast<std::size_t>(i)] != b[static_cast<std::size_t>(i)]) return false;
  return a[3] == b[3];
}

int32_t parameter_count(const Tables& t, int32_t l) {
  const int32_t isg = t.little.little_irrep_sg(l);
  return t.little.kvec_parameter_count(t.little.little_irrep_kvec(l), t.space.sg_bravais(isg));
}

}  // namespace

int32_t next_trial(std::span<const int32_t> free, std::vector<int32_t>& digit) {
  for (int32_t f : free) {
    if (++digit[static_cast<std::size_t>(f)] <= 2) return f;
    digit[static_cast<std::size_t>(f)] = 0;
  }
  return 0;
}

void trial_values(std::vector<Complex8>& values, const std::vector<int32_t>& digit, int32_t last) {
  for (int32_t u = 1; u <= last; ++u) {
    const int32_t d = digit[static_cast<std::size_t>(u)];
    values[static_cast<std::size_t>(u)] = Complex8(d == 0 ? 0.0f : d == 1 ? 1.0f : -1.0f, 0.0f);
  }
}

TransformType1State& transform_type1_state() {
  static TransformType1State s;
  return s;
}

TransformType2State& transform_type2_state() {
  static TransformType2State s;
  return s;
}

void transform_type1(const Tables& t, int32_t l, const sgl::RationalVector& par, InducedMatrix& tm) {
  TransformType1State& st = transform_type1_state();
  const int32_t n = t.little.little_irrep_dimension(l);
  if (n < 1 || n > kInducedLead) sgl::bomb();
  if (l != st.l || !same_parameters(par, st.par, parameter_count(t, l))) {
    st.l = l;
    st.par = par;
    ++st.computations;
    IntertwinerSearch search(t, l, par, Kind::type1);
    search.run();
    st.t = InducedMatrix{};
    const int32_t s = search.s();
    const ComplexD one_plus_i{1.0, 1.0}, one_minus_i{1.0, -1.0};
    for (int32_t p = 1; p <= search.npair(); ++p) {
      const int32_t a0 = (search.pair(p).first - 1) * s, b0 = (search.pair(p).second - 1) * s;
      const int32_t first = (p - 1) * s * s + 1;
      auto y = [&](int32_t r, int32_t c) { return search.value(first + (r - 1) * s + c - 1); };
      bool diagonal = true;
      int32_t lr = 0, lc = 0;
      for (int32_t r = 1; r <= s; ++r)
        for (int32_t c = 1; c <= s; ++c) {
          if (ncmpz(y(r, c)) == 0) continue;
          lr = r;
          lc = c;
          if (r != c) diagonal = false;
        }
      if (diagonal) {
        for (int32_t r = 1; r <= s; ++r) {
          const Complex8 root = complex_sqrt(y(r, r));
          const Complex8 q(store_single(wide(root.re) / 2.0), store_single(wide(root.im) / 2.0));
          zat(st.t, a0 + r, a0 + r) = one_plus_i * q;
          zat(st.t, b0 + r, b0 + r) = one_plus_i * q;
          zat(st.t, a0 + r, b0 + r) = one_minus_i * q;
          zat(st.t, b0 + r, a0 + r) = one_minus_i * q;
        }
      } else {
        const Complex8 last = y(lr, lc);
        const float mod = modulus(last);
        const Complex8 phi(store_single(wide(last.re) / wide(mod)), store_single(wide(last.im) / wide(mod)));
        const Complex8 root = complex_sqrt(phi);
        const Complex8 q(store_single(wide(root.re) / 2.0), store_single(wide(root.im) / 2.0));
        for (int32_t r = 1; r <= s; ++r) {
          for (int32_t c = 1; c <= s; ++c) {
            const Complex8 yp = y(r, c) / phi;
            const Complex8 v = one_minus_i * q * yp;
            zat(st.t, a0 + r, b0 + c) = v;
            zat(st.t, b0 + c, a0 + r) = v;
          }
          zat(st.t, a0 + r, a0 + r) = one_plus_i * q;
          zat(st.t, b0 + r, b0 + r) = one_plus_i * q;
        }
      }
    }
  }
  for (int32_t c = 1; c <= n; ++c)
    for (int32_t r = 1; r <= n; ++r) zat(tm, r, c) = zat(st.t, r, c);
}

void transform_type2(const Tables& t, int32_t l, const sgl::RationalVector& par, InducedMatrix& tm) {
  if (t.little.little_irrep_reality(l) != 2) sgl::bomb();
  const int32_t start = t.little.little_irrep_transform_start(l);
  if (start == 0) {
    sgl::write_free(6, {"Error in transform_type2: no stored transformation for little irrep ", l});
    sgl::bomb();
  }
  const int32_t n = t.little.little_irrep_dimension(l);
  const int32_t h = n / 2;
  if (h < 1 || h > 24) sgl::bomb();
  TransformType2State& st = transform_type2_state();
  auto w = [&](int32_t r, int32_t c) -> Complex8& { return st.w[static_cast<std::size_t>((c - 1) * 24 + (r - 1))]; };
  if (l != st.l || !same_parameters(par, st.par, parameter_count(t, l))) {
    st.l = l;
    st.par = par;
    ++st.computations;
    IntertwinerSearch search(t, l, par, Kind::type2);
    search.run();
    st.w = {};
    for (int32_t c = 1; c <= h; ++c)
      for (int32_t r = 1; r <= h; ++r) {
        const int32_t u = search.xvar(r, c);
        w(r, c) = u == 0 ? Complex8{} : search.value(u);
      }
  }
  InducedMatrix s{};
  read_stored_transform(t, start, n, s);
  for (int32_t r = 1; r <= n; ++r) {
    for (int32_t c = 1; c <= h; ++c) zat(tm, r, c) = zat(s, r, c);
    for (int32_t c = 1; c <= h; ++c) {
      ComplexD sum{};
      for (int32_t j = 1; j <= h; ++j) sum = sum + zat(s, r, h + j) * w(j, c);
      zat(tm, r, h + c) = sum;
    }
  }
}

void get_irrep2(const Tables& t, int32_t mode, int32_t l, const sgl::SpaceOp& op, const sgl::RationalVector& par,
                float& x, RealMatrix& xm, int32_t& error) {
  error = 0;
  const int32_t irrep = t.little.little_irrep_to_irrep(l);
  if (irrep != 0) {
    StoredMatrix work{};
    get_irrep(t, mode, irrep, op, x, work, error);
    if (error != 0) return;
    if (mode == 2)
      for (int32_t c = 1; c <= kStoredLead; ++c)
        for (int32_t r = 1; r <= kStoredLead; ++r)
          rat(xm, r, c) = work[static_cast<std::size_t>((c - 1) * kStoredLead + (r - 1))];
    return;
  }
  // Work matrices of 48 x 48 kept from call to call (nothing called from here comes back to
  // get_irrep2), each cleared only over the n x n block that is used.
  static InducedMatrix zm, tm, p;
  const int32_t n = t.little.little_irrep_dimension(l);
  const auto clear_block = [n](InducedMatrix& m) {
    const int32_t used = std::min(std::max(n, 0), kInducedLead);
    for (int32_t c = 1; c <= used; ++c)
      for (int32_t r = 1; r <= used; ++r) zat(m, r, c) = Complex8{};
  };
  Complex8 z{};
  clear_block(zm);
  get_irrep_complex(t, mode, l, op, par, z, zm, error);
  if (error != 0) return;
  const int32_t rt = t.little.little_irrep_reality(l);
  if (mode == 1) {
    if (rt != 1) z = Complex8(store_single(2.0 * wide(z.re)), 0.0f);
    if (ncmp(z.im) != 0) sgl::bomb();
    x = z.re;
    return;
  }
  if (mode != 2) sgl::bomb();
  if (n < 1 || n > kInducedLead) sgl::bomb();
  const int32_t h = n / 2;
  if (rt != 1 && h >= 1) {
    for (int32_t c = 1; c <= h; ++c)
      for (int32_t r = 1; r <= h; ++r) {
        zat(zm, r, h + c) = Complex8{};
        zat(zm, h + r, c) = Complex8{};
        zat(zm, h + r, h + c) = conj(zat(zm, r, c));
      }
  }
  clear_block(tm);
  const int32_t start = t.little.little_irrep_transform_start(l);
  if (start != 0) {
    read_stored_transform(t, start, n, tm);
  } else if (rt != 1) {
    // transform_type1 pairs k with -k in one copy of the irrep; a doubled irrep needs its stored T.
    sgl::write_free(6, {"Error in get_irrep2: no stored transformation to real form for little irrep ", l});
    sgl::bomb();
  } else {
    transform_type1(t, l, par, tm);
  }
  clear_block(p);
  for (int32_t c = 1; c <= n; ++c)
    for (int32_t r = 1; r <= n; ++r) {
      ComplexD sum{};
      for (int32_t q = 1; q <= n; ++q) sum = sum + zat(tm, r, q) * zat(zm, q, c);
      zat(p, r, c) = sum;
    }
  for (int32_t c = 1; c <= n; ++c)
    for (int32_t r = 1; r <= n; ++r) {
      ComplexD sum{};
      for (int32_t q = 1; q <= n; ++q) sum = sum + zat(p, r, q) * conj(zat(tm, c, q));
      const Complex8 y = sum;
      if (ncmp(y.im) != 0) sgl::bomb();
      rat(xm, r, c) = y.re;
    }
}

}  // namespace vibrex
