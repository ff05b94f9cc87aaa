// The column count of a table, from what the table itself tells: its entries over its rows.
#pragma once

#include <cstdint>

#include "cellsieve/tables.hpp"

namespace cellsieve {

template <typename T>
int32_t columns_of(const Grid<T>& g) {
  return g.rows() == 0 ? 0 : static_cast<int32_t>(g.size() / static_cast<std::size_t>(g.rows()));
}

}  // namespace cellsieve
