// Loading a block of table arrays from one binary data file.
#include "library/tables/table_loader.hpp"

#include <string>

#include "library/text/bomb.hpp"
#include "library/text/characters.hpp"
#include "library/text/text_io.hpp"

namespace sgl {

namespace {
constexpr int kDataUnit = 50;
}  // namespace

std::string table_file_path(std::string_view directory, std::string_view file_name) {
  // No separator is put between the two: the directory is expected to end with "/".
  return std::string(trim_trailing_blanks(directory)) + std::string(file_name);
}

void load_table_file(std::string_view directory, std::string_view file_name, std::span<const RecordItem> items) {
  const std::string path = table_file_path(directory, file_name);
  int status = 0;
  // Read only: the tables may be a shared installation, and nothing may ever write there.
  open_unit(kDataUnit, path, "OLD", "UNFORMATTED", &status, FileAccess::read_only);
  if (status != 0) {
    bomb_with_message({"Error: cannot open file " + path});
  }
  read_record(kDataUnit, items);
  close_unit(kDataUnit);
}

void bad_table_entry(std::string_view file, std::string_view array, std::initializer_list<int> indices, int whole) {
  std::string entry(array);
  char sep = '(';
  for (int k = 0; k < whole; ++k) {
    entry += sep;
    entry += ':';
    sep = ',';
  }
  for (int i : indices) {
    entry += sep;
    entry += std::to_string(i);
    sep = ',';
  }
  if (sep == ',') entry += ')';
  bomb_with_message({"Error: invalid data table entry " + entry + " in " + std::string(file)});
}

}  // namespace sgl
