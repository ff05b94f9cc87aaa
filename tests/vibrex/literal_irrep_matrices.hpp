// The irrep matrices taken literally, the reference of the run's cache: a call of get_irrep2 in
// matrix mode, into a matrix cleared in full, at every request.
#pragma once

#include "library/text/bomb.hpp"
#include "vibrex/irrep_matrix_cache.hpp"
#include "vibrex/real_irrep.hpp"

namespace vibrex::testing {

class LiteralIrrepMatrices final : public IrrepMatrixSource {
 public:
  IrrepMatrixView matrix(const Tables& t, int32_t l, const sgl::SpaceOp& op, const sgl::RationalVector& par) override {
    scratch_ = RealMatrix{};
    float x = 0.0f;
    int32_t error = 0;
    get_irrep2(t, 2, l, op, par, x, scratch_, error);
    if (error != 0) sgl::bomb();
    ++requests_;
    return {scratch_.data(), kInducedLead};
  }
  int64_t requests() const { return requests_; }

 private:
  RealMatrix scratch_;
  int64_t requests_ = 0;
};

}  // namespace vibrex::testing
