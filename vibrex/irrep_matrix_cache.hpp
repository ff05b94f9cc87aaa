// The real irrep matrices of the isotropy search and the supercell modes, each computed once: the
// search asks again for every operation it has kept at each new trial, and the modes of one irrep
// ask for the same operator for every site irrep, every projected mode and every pass. get_irrep2
// gives the same values on every call with the same arguments (its own caches are keyed on them,
// and the constant table only grows at its end, so a value snapped once snaps to the same entry
// again), so a kept matrix is the one a new call would return.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "library/types.hpp"
#include "vibrex/mode_tables.hpp"
#include "vibrex/real_irrep.hpp"

namespace vibrex {

// A view of a real irrep matrix: element (r, c) at data[(c - 1) * lead + r - 1].
struct IrrepMatrixView {
  const float* data;
  std::size_t lead;
  float operator()(int32_t r, int32_t c) const {
    return data[static_cast<std::size_t>(c - 1) * lead + static_cast<std::size_t>(r - 1)];
  }
};

// Where the isotropy search and the supercell modes take their real irrep matrices from.
class IrrepMatrixSource {
 public:
  virtual ~IrrepMatrixSource() = default;
  // The matrix of little irrep l for op at parameter values par, as get_irrep2 gives it in matrix
  // mode; valid until the next request. An error of get_irrep2 stops through bomb().
  virtual IrrepMatrixView matrix(const Tables& t, int32_t l, const sgl::SpaceOp& op, const sgl::RationalVector& par) = 0;
};

// How a cache computes a matrix it does not hold: get_irrep2's arguments (mode 2, matrix mode).
using IrrepMatrixMaker = void (*)(const Tables& t, int32_t mode, int32_t l, const sgl::SpaceOp& op,
                                  const sgl::RationalVector& par, float& x, RealMatrix& xm, int32_t& error);

class IrrepMatrixCache final : public IrrepMatrixSource {
 public:
  // The matrices come from get_irrep2, or from `maker` where a caller wants to see every
  // computation the cache makes.
  explicit IrrepMatrixCache(IrrepMatrixMaker maker = &get_irrep2) : maker_(maker) {}

  // The matrix, dim x dim by columns (dim the little irrep's dimension, the view's lead), from
  // get_irrep2 on the first request and kept for the next. The matrices of one little irrep and
  // one set of parameter values are kept: a request for another starts afresh. An error of
  // get_irrep2 stops through bomb() at the request that meets it.
  IrrepMatrixView matrix(const Tables& t, int32_t l, const sgl::SpaceOp& op, const sgl::RationalVector& par) override;

 private:
  IrrepMatrixMaker maker_;
  int32_t l_ = 0;
  sgl::RationalVector par_{0, 0, 0, 0};
  int32_t dim_ = 0;
  std::map<sgl::SpaceOp, std::size_t> position_;  // where each operator's matrix starts in values_
  std::vector<float> values_;
};

}  // namespace vibrex
