// Identification of a space group given by its operators: the space-group number, the basis
// transformation from the tables' reference primitive basis to the given basis, and the origin.
//
// The operators (one per point operation, closed under multiplication) are given in a primitive
// basis of their lattice: every integer vector is a lattice translation. Each operator is a
// SpaceOp (translation numerators, denominator, point-operation number, all numbers from one of
// the two lists) together with its integer rotation matrix in that basis.
//
// On success the given coordinates x are x = P x_ref + origin, x_ref the coordinates in the
// primitive basis of the tables' reference setting ("pml"): P is integral with determinant +1
// and R P = P M for every rotation R of the given operators and its counterpart M in the
// reference, and the translations agree modulo the lattice.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "library/exact/int128.hpp"
#include "library/types.hpp"

namespace sgl {
struct CommonSpace;
}

namespace cellsieve {

// What the identification learns in a run, kept for later calls with the same space-group tables:
// per set of rotations (point-operation numbers and matrices, translations left out) and space
// group, the generator assignments that extend to an isomorphism, the reduced equations for P of
// each and the admissible P found so far in enumeration order; the outcome of each origin system
// met (by its exact coefficients); and the result of each complete call. Every entry is a pure
// function of its key and the tables, so a search through the cache visits the same candidates in
// the same order and gives exactly the result of the search without it. The cache belongs to one
// set of tables: a call with other tables (another object) starts it afresh; tables changed in
// place must not be used with a filled cache.
class IdentificationCache {
 public:
  IdentificationCache();
  ~IdentificationCache();
  IdentificationCache(const IdentificationCache&) = delete;
  IdentificationCache& operator=(const IdentificationCache&) = delete;
  struct Store;
  Store& store() { return *store_; }

 private:
  std::unique_ptr<Store> store_;
};

// Identifies the group of the nops operators ops with rotations rot (both indexed 0..nops-1).
// mode 0 tries space groups 1 to 230, mode n (1..230) space group n only. sg is the number found,
// 0 when none matches; p and origin (normal form, numerators not reduced modulo 1) are written
// only when sg is not 0.
//
// The search enumerates bounded trial values for the undetermined entries of p and of the origin
// (0, 1, -1 in a first pass over all candidate groups, then also 2, -2), so the first solution,
// and with it the reported setting, is fully determined by the input. When that search finds no
// group (a strongly skewed basis, whose p would need larger entries), it is repeated once on a
// reduced basis of the same lattice, short in a metric that the rotations keep, and the result
// is carried back to the given basis.
//
// Stops the run through sgl::bomb(): operators whose point-operation key names no point group,
// a reference rotation that is not integral in the primitive basis (no message); more than five
// generators, nops outside 1..48, lists shorter than nops, a point-operation number outside
// 1..72 or a mode outside 0..230 (with a message line on standard output).
void id_spacegroup(const sgl::CommonSpace& cs, int32_t nops, std::span<const sgl::SpaceOp> ops,
                   std::span<const sgl::Mat3i> rot, int32_t& sg, sgl::Mat3i& p,
                   sgl::RationalVector& origin, int32_t mode);

// The same identification through a cache of what earlier calls learnt: the same results, the
// same stops, faster when rotation sets, origin systems or whole calls recur.
void id_spacegroup(const sgl::CommonSpace& cs, int32_t nops, std::span<const sgl::SpaceOp> ops,
                   std::span<const sgl::Mat3i> rot, int32_t& sg, sgl::Mat3i& p,
                   sgl::RationalVector& origin, int32_t mode, IdentificationCache& cache);

// The bounded search alone, in the given basis, without the retry on a reduced basis: passes 1
// (trial values 0, 1, -1) and, when passes is 2, pass 2 (0, 1, -1, 2, -2). Same arguments,
// checks and results as id_spacegroup otherwise. id_spacegroup returns exactly this result
// whenever it is not 0. The search is exact: a candidate P with an entry beyond 4096 in
// magnitude is passed over, and a basis so skewed that the reduced equations leave the 64-bit
// range counts as no match (id_spacegroup then finds the group through the reduced basis).
void id_spacegroup_search(const sgl::CommonSpace& cs, int32_t nops,
                          std::span<const sgl::SpaceOp> ops, std::span<const sgl::Mat3i> rot,
                          int32_t& sg, sgl::Mat3i& p, sgl::RationalVector& origin, int32_t mode,
                          int passes = 2, IdentificationCache* cache = nullptr);

// The exact row reduction of the search's equations, on the nrow x ncol matrix a stored by rows:
// fraction-free Gauss-Jordan elimination. For row i the pivot is the next column after the
// previous pivot with a non-zero entry in row i or below (rows are swapped to bring it up); every
// other row r becomes pivot * r - r(pivot column) * row i. Every row is kept divided by the
// greatest common divisor of its entries and formed in 128 bits, so entries stay as small as the
// reduced rows themselves. The result has the layout of sgl::rowop's (first non-zero entry of
// row i in column i or later, pivot columns zero in all other rows, zero rows last) and its rows
// up to a non-zero factor each, without rowop's 32-bit limit. Returns false (a left in an
// unspecified state) when an entry reaches 2^62 in magnitude. Rows are formed and divided in 64
// bits while their values fit, in 128 bits otherwise.
bool reduce_rows_exact(std::span<int64_t> a, int nrow, int ncol);

// Whether the sum of e[j] x[j] is divisible by d (not 0), and then q = -sum / d: the test of a
// pivot row of the search's reduced equations, and its pivot variable. The sum is formed in 64
// bits while every step fits, else in 128 bits, where entries below 2^62 and values below 2^64
// in magnitude (the search's stay far below) are exact.
bool tail_quotient(std::span<const int64_t> e, std::span<const int64_t> x, int64_t d, sgl::Int128& q);

}  // namespace cellsieve
