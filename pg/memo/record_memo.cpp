#include "record_memo.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "cmg290/record_layout.h"

namespace cmg290::pg {

namespace {

// Offsets of chunks of Width bytes that together cover every field, each
// chunk within the record. A chunk may take in a few unread bytes: a
// difference there only costs a grouping that was not needed.
template <std::size_t Width>
struct ChunkPlan {
  std::array<std::uint16_t, kRecordLength / Width + 1> at{};
  std::size_t count = 0;
};

template <std::size_t Width>
constexpr ChunkPlan<Width> plan_chunks() {
  std::array<bool, kRecordLength> read{};
  for (const FieldLayout& f : kRecordLayout)
    for (int p = f.start; p <= f.end(); ++p) read[static_cast<std::size_t>(p - 1)] = true;
  ChunkPlan<Width> plan;
  for (std::size_t p = 0; p < kRecordLength; ++p) {
    if (!read[p]) continue;
    const std::size_t at = std::min(p, kRecordLength - Width);
    plan.at[plan.count++] = static_cast<std::uint16_t>(at);
    p = at + Width - 1;
  }
  return plan;
}

// 16-byte chunks for any x86-64 (24 of them), 32-byte ones where the
// processor compares 32 bytes at once (15).
template <std::size_t Width>
inline constexpr ChunkPlan<Width> kChunks = plan_chunks<Width>();

using Bytes16 = char __attribute__((vector_size(16)));
using Bytes32 = char __attribute__((vector_size(32)));

// Every chunk of two full-length records alike; no early exit, so the loads
// of a record not yet in the cache are all under way at once.
template <std::size_t Width>
[[gnu::always_inline]] inline bool same_chunks(const char* a, const char* b) {
  using Bytes = std::conditional_t<Width == 16, Bytes16, Bytes32>;
  constexpr const ChunkPlan<Width>& plan = kChunks<Width>;
  Bytes alike[4] = {~Bytes{}, ~Bytes{}, ~Bytes{}, ~Bytes{}};  // four chains
#pragma GCC unroll 32
  for (std::size_t i = 0; i < plan.count; ++i) {
    Bytes x, y;
    std::memcpy(&x, a + plan.at[i], Width);
    std::memcpy(&y, b + plan.at[i], Width);
    alike[i % 4] &= x == y;
  }
  const Bytes all = alike[0] & alike[1] & alike[2] & alike[3];
  std::uint64_t lanes[Width / 8];
  std::memcpy(lanes, &all, sizeof lanes);
  std::uint64_t every = ~std::uint64_t{0};
  for (std::uint64_t lane : lanes) every &= lane;
  return every == ~std::uint64_t{0};
}

template <std::size_t Width>
[[gnu::always_inline]] inline void copy_chunks(char* to, const char* from) {
  constexpr const ChunkPlan<Width>& plan = kChunks<Width>;
#pragma GCC unroll 32
  for (std::size_t i = 0; i < plan.count; ++i)
    std::memcpy(to + plan.at[i], from + plan.at[i], Width);
}

// The 32-byte compare, built for AVX2 where there is such a processor.
#if defined(__x86_64__) && defined(__GNUC__)
[[gnu::target("avx2")]] bool same_fields_wide(const char* a, const char* b) {
  return same_chunks<32>(a, b);
}

bool has_avx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}
#else
bool same_fields_wide(const char* a, const char* b) {
  return same_chunks<32>(a, b);
}

bool has_avx2() {
  return false;
}
#endif

}  // namespace

RecordMemo::RecordMemo(Compare compare) : wide_(compare == Compare::Widest && has_avx2()) {}

bool RecordMemo::find(const char* data, std::size_t size, cmg290::Result* out) const {
  if (!valid_ || std::min(size, kRecordLength) != size_) return false;
  bool same;
  if (size_ != kRecordLength)
    same = std::memcmp(data, record_, size_) == 0;
  else if (wide_)
    same = same_fields_wide(data, record_);
  else
    same = same_chunks<16>(data, record_);
  if (same) *out = result_;
  return same;
}

void RecordMemo::keep(const char* data, std::size_t size, const cmg290::Result& result) {
  size_ = std::min(size, kRecordLength);
  if (size_ != kRecordLength)
    std::memcpy(record_, data, size_);
  else if (wide_)
    copy_chunks<32>(record_, data);
  else
    copy_chunks<16>(record_, data);
  result_ = result;
  valid_ = true;
}

}  // namespace cmg290::pg
