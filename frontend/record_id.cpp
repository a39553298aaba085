#include "record_id.h"

#include <cstring>

namespace cmg290::cli {

void IdRange::put(std::string_view record, char* out) const noexcept {
  const std::string_view id = cut(record);
  if (!id.empty()) std::memcpy(out, id.data(), id.size());
  std::memset(out + id.size(), ' ', length - id.size());
}

std::string check_id_range(std::size_t start, std::size_t length, std::size_t longest,
                           std::size_t lastEnd) {
  if (start < 1 || length < 1 || length > longest || start > lastEnd ||
      length > lastEnd - (start - 1)) {
    return "wants START 1 or more, LENGTH 1 to " + std::to_string(longest) +
           ", and an end no later than position " + std::to_string(lastEnd);
  }
  return {};
}

}  // namespace cmg290::cli
