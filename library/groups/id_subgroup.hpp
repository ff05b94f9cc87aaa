// Identification of the space-group type of a subgroup, with the basis and origin of its setting.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "library/types.hpp"

namespace sgl {

struct CommonSpace;

// The message line written before the stop when no space group fits.
inline constexpr std::string_view kSpaceGroupNotFound = "Error in id_subgroup: space group not found";

// How a successful identification was reached (for statistics; callers may ignore it).
struct IdSubgroupTrace {
  int32_t pass = 0;       // 1 .. 4: the pass (3, 5, 7 or 11 trial values) that found the group
  bool retried = false;   // true when the passes on the greedy basis failed and the retry on a
                          // reduced basis found it
};

// Names the subgroup H of G given by its lattice and its operators modulo that lattice.
//   cs        the space-group tables.
//   group     in:  G's space-group number.
//   lattice   in:  columns = a basis of H's lattice in G's primitive ("pml") coordinates;
//                  determinant not 0.
//   op_count  in:  the number of given operators, 1 .. 48.
//   ops       in:  H's operators, one per point operation, in G's setting "pml" (translations in
//                  G's primitive coordinates, point-operation numbers of G's list); their point
//                  operations form a group.
//   subgroup  out: H's space-group number.
//   basis     out: columns = the basis vectors of H's setting "pml" in G's primitive coordinates.
//   origin    out: H's origin in G's primitive coordinates, in lowest terms with a positive
//                  denominator (not reduced modulo the lattice).
//   mode      in:  0: try space groups 1 .. 230; n > 0: try n only; n < 0: try -n only, with
//                  `lattice` taken as H's basis as it stands (no shortening, no change of basis).
//   trace     out, optional: how the result was found.
// Referred to basis and origin, H's operators are those the tables list for `subgroup`, modulo
// its lattice. The candidates of H's point group are tried in number order (once one of them has
// a matching change of basis, only those of its Bravais type), each assignment of its generators
// to given operators of the same kind, each integer change of basis whose free entries are taken
// from 0, 1, -1, 2, -2 ... (four passes with 3, 5, 7 and 11 values), the first solution winning.
// When all four passes fail for n >= 0, they are repeated once on a reduced basis of the same
// lattice. When nothing fits: the line kSpaceGroupNotFound on standard output and the fatal stop.
// An operator that does not keep the lattice or a set whose point group is unknown: fatal stop.
void id_subgroup(const CommonSpace& cs, int32_t group, const Mat3i& lattice, int32_t op_count,
                 std::span<const SpaceOp> ops, int32_t& subgroup, Mat3i& basis,
                 RationalVector& origin, int32_t mode, IdSubgroupTrace* trace = nullptr);

}  // namespace sgl
