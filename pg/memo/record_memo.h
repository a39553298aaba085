// The last record grouped in a backend and its result. A query that asks for
// several outputs of one record through the one-value functions (or through
// (cmg290_group(record)).*, which the server expands into one call per
// column) groups it once: the calls after the first find the same record and
// take the result.
//
// "The same record" means the same length, and the same bytes at every
// position the grouper reads (the record layout's fields). Bytes outside
// every field cannot change a result, so a full-length record is compared
// over its fields only, in chunks of 16 or 32 bytes; a shorter one, which is
// rare, is compared whole.
#pragma once

#include <cstddef>

#include "cmg290/cmg290.h"

namespace cmg290::pg {

class RecordMemo {
 public:
  // How much a compare takes at once: 32 bytes where the processor has the
  // instructions for it (15 chunks cover the fields), else 16 (24 chunks).
  enum class Compare { Widest, Narrow };
  explicit RecordMemo(Compare compare = Compare::Widest);

  // True, with the result in *out, when the record matches the last one kept.
  bool find(const char* data, std::size_t size, cmg290::Result* out) const;
  // Keeps the record (what find compares of it) and its result.
  void keep(const char* data, std::size_t size, const cmg290::Result& result);
  void forget() { valid_ = false; }

 private:
  bool wide_;
  char record_[cmg290::kRecordLength];  // the chunks compared, at their positions
  std::size_t size_ = 0;                // up to kRecordLength: longer records are cut
  bool valid_ = false;
  cmg290::Result result_{};
};

}  // namespace cmg290::pg
