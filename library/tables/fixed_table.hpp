// Fixed-extent arrays of the shared data tables.
//
// FixedTable<T, E1, ..., En> holds E1 * ... * En values of T by columns (first index fastest) and
// gives 1-based element access t(i1, ..., in), exactly as the data files store the arrays. A table
// without extents holds one value and is read as t(). Indices are checked in debug builds.
// Texts are fixed-width character fields padded with blanks (Text<N>).
#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>

#include "library/text/characters.hpp"

namespace sgl {

// A text field of N characters, padded with blanks.
template <std::size_t N>
struct Text {
  std::array<char, N> chars;

  // All N characters, trailing blanks included.
  constexpr std::string_view view() const { return std::string_view(chars.data(), N); }
  // The characters without their trailing blanks.
  constexpr std::string_view trimmed() const { return trim_trailing_blanks(view()); }
};

static_assert(sizeof(Text<1>) == 1 && sizeof(Text<16>) == 16 && alignof(Text<16>) == 1);

template <typename T, std::size_t... Extents>
class FixedTable {
 public:
  using value_type = T;
  static constexpr std::size_t rank = sizeof...(Extents);
  static constexpr std::array<std::size_t, rank> extents{Extents...};
  static constexpr std::size_t count = (std::size_t{1} * ... * Extents);
  static constexpr std::size_t byte_size = count * sizeof(T);

  static_assert(std::is_trivially_copyable_v<T>);

  // Element (i1, ..., in), 1-based.
  template <typename... I>
    requires(sizeof...(I) == rank && (std::is_integral_v<I> && ...))
  constexpr T& operator()(I... index) {
    return values_[offset(index...)];
  }
  template <typename... I>
    requires(sizeof...(I) == rank && (std::is_integral_v<I> && ...))
  constexpr const T& operator()(I... index) const {
    return values_[offset(index...)];
  }

  // Whether (i1, ..., in) lies within the extents.
  template <typename... I>
    requires(sizeof...(I) == rank && (std::is_integral_v<I> && ...))
  static constexpr bool contains(I... index) {
    std::size_t k = 0;
    return ((static_cast<long long>(index) >= 1 &&
             static_cast<long long>(index) <= static_cast<long long>(extents[k++])) &&
            ...);
  }

  // The values in storage order.
  constexpr std::span<T, count> flat() { return values_; }
  constexpr std::span<const T, count> flat() const { return values_; }

  // The bytes of the values in memory, in storage order.
  std::span<std::byte, byte_size> bytes() { return std::as_writable_bytes(flat()); }
  std::span<const std::byte, byte_size> bytes() const { return std::as_bytes(flat()); }

 private:
  template <typename... I>
  static constexpr std::size_t offset(I... index) {
    assert(contains(index...) && "table index out of range");
    std::size_t off = 0;
    std::size_t stride = 1;
    std::size_t k = 0;
    ((off += (static_cast<std::size_t>(index) - 1) * stride, stride *= extents[k++]), ...);
    return off;
  }

  std::array<T, count> values_{};
};

}  // namespace sgl
