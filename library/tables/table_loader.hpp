// Loading a block of table arrays from one binary data file.
//
// A block is a struct of FixedTable members generated from a list of (name, type, extents...)
// entries with the helper macros below; its static for_each_array visits the members in record
// order. load_table_block reads the whole block in one record read, so the list of arrays is the
// only description of the file's layout.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "library/tables/fixed_table.hpp"
#include "library/text/text_io.hpp"

// Member declaration, record byte count and visit of one list entry.
#define SGL_TABLE_MEMBER(name, type, ...) ::sgl::FixedTable<type __VA_OPT__(, ) __VA_ARGS__> name;
#define SGL_TABLE_BYTES(name, type, ...) \
  +::sgl::record_bytes<::sgl::FixedTable<type __VA_OPT__(, ) __VA_ARGS__>>
#define SGL_TABLE_VISIT(name, type, ...) visit(#name, self.name);

// A block of tables from its array list: the arrays as members, payload_bytes (the record's
// payload: the arrays back to back), and for_each_array(block, visit), which calls
// visit(name, array) for every array in record order.
#define SGL_TABLE_BLOCK(Block, LIST)                              \
  struct Block {                                                  \
    LIST(SGL_TABLE_MEMBER)                                        \
    static constexpr std::size_t payload_bytes = 0 LIST(SGL_TABLE_BYTES); \
    template <typename Self, typename Visit>                      \
    static void for_each_array(Self& self, Visit&& visit) {       \
      LIST(SGL_TABLE_VISIT)                                       \
    }                                                             \
  }

namespace sgl {

// Bytes one element takes in a data file: logicals are 4 bytes, everything else as in memory.
template <typename T>
inline constexpr std::size_t record_element_bytes = sizeof(T);
template <>
inline constexpr std::size_t record_element_bytes<Logical> = 4;

template <typename Table>
inline constexpr std::size_t record_bytes = Table::count * record_element_bytes<typename Table::value_type>;

// The record item that fills a whole table.
template <typename T, std::size_t... E>
RecordItem record_item(FixedTable<T, E...>& table) {
  if constexpr (requires { T::chars; }) {
    auto flat = table.flat();
    return RecordItem(std::span<char>(reinterpret_cast<char*>(flat.data()), flat.size() * sizeof(T)));
  } else {
    return RecordItem(std::span<T>(table.flat()));
  }
}

// Opens the directory (trailing blanks removed) joined directly with the file name as unit 50
// (old, unformatted, read only), reads one record into the items, closes the unit. A file that
// cannot be opened writes "Error: cannot open file " and the path as a free-format line and
// stops; a short record ends the run through the text layer's unhandled read failure, which
// names the file.
void load_table_file(std::string_view directory, std::string_view file_name, std::span<const RecordItem> items);

// Loads every array of a block from one file.
template <typename Block>
void load_table_block(std::string_view directory, std::string_view file_name, Block& block) {
  std::vector<RecordItem> items;
  Block::for_each_array(block, [&](const char*, auto& table) { items.push_back(record_item(table)); });
  [[maybe_unused]] std::size_t bytes = 0;
  for (const RecordItem& item : items) bytes += item.bytes();
  assert(bytes == Block::payload_bytes && "record items and array list disagree");
  load_table_file(directory, file_name, items);
}

// The path of a data file: the directory with its trailing blanks removed, followed directly by
// the file name.
std::string table_file_path(std::string_view directory, std::string_view file_name);

// Writes the one-line report of a table entry that fails validation and stops the run. The entry
// is named with its 1-based indices after `whole` leading ":" for dimensions taken whole, and the
// file follows: "Error: invalid data table entry sg_first_op(12) in /data/data_space.bin",
// "... point_op_rot(:,:,42) in ...".
[[noreturn]] void bad_table_entry(std::string_view file, std::string_view array, std::initializer_list<int> indices,
                                  int whole = 0);

}  // namespace sgl
