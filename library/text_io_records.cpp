// Binary records: a 4-byte length, the payload, the length again.
#include "library/text_io.hpp"

namespace sgl {

std::size_t RecordItem::bytes() const {
  switch (kind_) {
    case Kind::int8: return n_;
    case Kind::int16: return 2 * n_;
    case Kind::int32: return 4 * n_;
    case Kind::logical: return 4 * n_;
    case Kind::text: return n_;
  }
  return 0;
}

ReadOutcome read_record(int, std::span<const RecordItem>, ReadHandling) { return ReadOutcome::end; }
ReadOutcome read_record(int unit, std::initializer_list<RecordItem> items, ReadHandling handling) {
  return read_record(unit, std::span<const RecordItem>(items.begin(), items.size()), handling);
}

}  // namespace sgl
