// The few distinct texts a grouping result holds (status descriptions, table
// and grouper versions, CMGs and tier letters), each under a small key, so
// that the grouping threads note a key per row and each front end makes its
// own string of a text once, however many rows hold it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cmg290::batch {

using TextKey = std::uint16_t;

// No text: the grouping did not reach it (None or NA for the front ends).
inline constexpr TextKey kNoText = 0;
// A text the keys do not hold (no table gives one today): the caller groups
// the row again on its own thread to find it.
inline constexpr TextKey kOddText = 0xFFFE;
// The row was not grouped: its record was not ready (record_source.h).
inline constexpr TextKey kUnsettled = 0xFFFF;

class TextKeys {
 public:
  TextKeys();

  // Keys run from kNoText to size() - 1; text(kNoText) is "".
  std::size_t size() const { return texts_.size(); }
  std::string_view text(TextKey key) const { return texts_[key]; }

  // The key of each text the grouper writes; kOddText for one not known
  // here. None of them allocates or takes a lock.
  TextKey description(int status) const noexcept;
  TextKey cmg(const char* text) const noexcept;            // "A1234", or a tier letter alone
  TextKey table_version(const char* text) const noexcept;  // four blanks: kNoText
  TextKey grouper_version(const char* text) const noexcept;

 private:
  TextKey add(std::string text);
  // A text of four characters as one word, for a quick compare; false for
  // a text of another length.
  static bool word_of(const char* text, std::uint32_t& word) noexcept;

  std::vector<std::string> texts_;
  int firstDescription_ = 0;
  int unknownStatus_ = 0;
  int firstTableVersion_ = 0;
  std::vector<std::uint32_t> tableVersionWords_;
  std::uint32_t blankVersionWord_ = 0;
  int grouperVersion_ = 0;
  std::uint32_t grouperVersionWord_ = 0;
  int firstTierLetter_ = 0;              // "A" .. "D": no CMG row fits
  int firstCmg_ = 0;                     // tier letter major, CMG code minor
  std::vector<std::int16_t> codeIndex_;  // CMG code 0000..9999 -> its index, or -1
  int codes_ = 0;
};

// The keys of this process, built on first use and never destroyed (front
// ends hold strings made from them for as long as the process lives).
const TextKeys& text_keys();

}  // namespace cmg290::batch
