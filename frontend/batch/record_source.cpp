#include "batch/record_source.h"

#include <algorithm>

namespace cmg290::batch {

namespace {

std::string_view copy_item(const FixedWidth& block, std::size_t i, char* room) noexcept {
  const char* item = block.base + static_cast<std::ptrdiff_t>(i) * block.stride;
  if (!block.wide) {
    std::size_t n = block.itemSize;
    while (n > 0 && item[n - 1] == '\0') --n;
    n = std::min(n, kRecordLength);
    std::memcpy(room, item, n);
    return {room, n};
  }
  std::size_t n = block.itemSize / 4;
  while (n > 0 && FixedWidth::code_point(item, n - 1) == 0) --n;
  n = std::min(n, kRecordLength);
  for (std::size_t k = 0; k < n; ++k) room[k] = static_cast<char>(FixedWidth::code_point(item, k));
  return {room, n};
}

}  // namespace

bool has_high_byte(std::string_view bytes) noexcept {
  std::size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes.data() + i, 8);
    if ((word & 0x8080808080808080ULL) != 0) return true;
  }
  for (; i < bytes.size(); ++i) {
    if (static_cast<unsigned char>(bytes[i]) > 0x7F) return true;
  }
  return false;
}

bool RecordSource::get(std::size_t i, char* room, std::string_view& record) const noexcept {
  if (views != nullptr) {
    record = views[i];
    return asciiOnly == nullptr || asciiOnly[i] == 0 || !has_high_byte(record);
  }
  if (block.base != nullptr) {
    record = copy_item(block, i, room);
    return true;
  }
  return fetch(context, i, room, record);
}

}  // namespace cmg290::batch
