// SHA-256 of a byte string, for the digests that name tier-table sets.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace cmg290::tiersets {

class Sha256 {
 public:
  Sha256();
  void update(std::string_view bytes);
  // The digest of everything given; the object is spent afterwards.
  std::array<std::uint8_t, 32> finish();

 private:
  void block(const std::uint8_t* p);

  std::array<std::uint32_t, 8> h_;
  std::array<std::uint8_t, 64> buffer_{};
  std::size_t buffered_ = 0;
  std::uint64_t length_ = 0;  // bytes given
};

// The digest as 64 lower-case hexadecimal digits.
std::string sha256_hex(std::string_view bytes);
std::string hex(const std::array<std::uint8_t, 32>& digest);

}  // namespace cmg290::tiersets
