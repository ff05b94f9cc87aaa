// Binary records: a 4-byte little-endian length n, n bytes, the length again (not compared).
#include <cstring>
#include <vector>

#include "library/text/text_io.hpp"
#include "library/text/text_io_stops.hpp"
#include "library/text/text_io_units.hpp"

namespace sgl {

namespace {

int32_t little_endian(const unsigned char* p, std::size_t size) {
  uint32_t v = 0;
  for (std::size_t k = size; k-- > 0;) v = (v << 8) | p[k];
  // Sign-extend the narrower integers.
  if (size < 4 && (v & (1u << (8 * size - 1))) != 0) v |= ~((1u << (8 * size)) - 1);
  return static_cast<int32_t>(v);
}

std::size_t element_size(RecordItem::Kind kind) {
  switch (kind) {
    case RecordItem::Kind::int8: return 1;
    case RecordItem::Kind::int16: return 2;
    case RecordItem::Kind::int32: return 4;
    case RecordItem::Kind::logical: return 4;
    case RecordItem::Kind::text: return 1;
  }
  return 1;
}

// Fills the items from the payload, element by element, as far as the payload reaches.
void fill_items(std::span<const RecordItem> items, const std::vector<unsigned char>& payload) {
  std::size_t at = 0;
  for (const RecordItem& item : items) {
    const std::size_t size = element_size(item.kind());
    for (std::size_t k = 0; k < item.count(); ++k, at += size) {
      if (at + size > payload.size()) return;
      const unsigned char* p = payload.data() + at;
      switch (item.kind()) {
        case RecordItem::Kind::int8:
          static_cast<int8_t*>(item.data())[k] = static_cast<int8_t>(little_endian(p, 1));
          break;
        case RecordItem::Kind::int16:
          static_cast<int16_t*>(item.data())[k] = static_cast<int16_t>(little_endian(p, 2));
          break;
        case RecordItem::Kind::int32:
          static_cast<int32_t*>(item.data())[k] = little_endian(p, 4);
          break;
        case RecordItem::Kind::logical:
          static_cast<Logical*>(item.data())[k].value = little_endian(p, 4) != 0;
          break;
        case RecordItem::Kind::text:
          static_cast<char*>(item.data())[k] = static_cast<char>(*p);
          break;
      }
    }
  }
}

// Reads the record and returns its status; payload receives the bytes the items need (or fewer
// when the record is shorter).
int read_payload(int unit, std::size_t need, std::vector<unsigned char>& payload) {
  unsigned char length_bytes[4];
  std::size_t got = 0;
  int err = textio::next_bytes(unit, reinterpret_cast<char*>(length_bytes), 4, got);
  if (err != 0) return err;
  if (got < 4) return kStatusEnd;
  const int32_t length = little_endian(length_bytes, 4);
  // A negative length cannot be a record of this file: it is read as a file cut short.
  if (length < 0) return kStatusEnd;
  const std::size_t n = static_cast<std::size_t>(length);
  // Only the bytes the items take are kept, so a length beyond the file never allocates more
  // than the items; the rest is skipped, and a file that ends first is met while skipping.
  const std::size_t keep = std::min(n, need);
  payload.resize(keep);
  err = textio::next_bytes(unit, reinterpret_cast<char*>(payload.data()), keep, got);
  if (err != 0) return err;
  if (got < keep) return kStatusEnd;
  err = textio::next_bytes(unit, nullptr, n - keep, got);
  if (err != 0) return err;
  if (got < n - keep) return kStatusEnd;
  err = textio::next_bytes(unit, reinterpret_cast<char*>(length_bytes), 4, got);
  if (err != 0) return err;
  if (got < 4) return kStatusEnd;
  return n < need ? kStatusPastRecordEnd : 0;
}

}  // namespace

std::size_t RecordItem::bytes() const { return element_size(kind_) * n_; }

ReadOutcome read_record(int unit, std::span<const RecordItem> items, ReadHandling handling) {
  std::size_t need = 0;
  for (const RecordItem& item : items) need += item.bytes();
  std::vector<unsigned char> payload;
  const int status = read_payload(unit, need, payload);
  if (status == 0 || status == kStatusPastRecordEnd) fill_items(items, payload);
  return textio::settle_read(status, handling, unit, false);
}

ReadOutcome read_record(int unit, std::initializer_list<RecordItem> items, ReadHandling handling) {
  return read_record(unit, std::span<const RecordItem>(items.begin(), items.size()), handling);
}

}  // namespace sgl
