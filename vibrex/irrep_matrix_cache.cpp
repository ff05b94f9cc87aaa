// Irrep matrices computed once per operator.
#include "vibrex/irrep_matrix_cache.hpp"

#include "library/text/bomb.hpp"
#include "vibrex/real_irrep.hpp"

namespace vibrex {

IrrepMatrixView IrrepMatrixCache::matrix(const Tables& t, int32_t l, const sgl::SpaceOp& op,
                                         const sgl::RationalVector& par) {
  if (l != l_ || par != par_) {
    l_ = l;
    par_ = par;
    dim_ = t.little.little_irrep_dimension(l);
    // The matrices of get_irrep2 hold 48 rows and columns.
    if (dim_ < 1 || dim_ > kInducedLead) sgl::bomb();
    position_.clear();
    values_.clear();
  }
  const std::size_t lead = static_cast<std::size_t>(dim_);
  const auto found = position_.find(op);
  if (found != position_.end()) return {values_.data() + found->second, lead};
  // Only the block that is read is cleared.
  static RealMatrix d;
  for (int32_t a = 1; a <= dim_; ++a)
    for (int32_t c = 1; c <= dim_; ++c) rat(d, c, a) = 0.0f;
  float x = 0.0f;
  int32_t error = 0;
  maker_(t, 2, l, op, par, x, d, error);
  if (error != 0) sgl::bomb();
  const std::size_t start = values_.size();
  for (int32_t a = 1; a <= dim_; ++a)
    for (int32_t c = 1; c <= dim_; ++c) values_.push_back(rat(d, c, a));
  position_.emplace(op, start);
  return {values_.data() + start, lead};
}

}  // namespace vibrex
