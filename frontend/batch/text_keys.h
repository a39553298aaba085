// The few distinct texts a grouping result holds (status descriptions, table
// and grouper versions, CMGs, tier letters and RICs), each under a small key, so
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

// The keys of one column's texts: first to first + count - 1, a front end's
// categories (kNoText is none of them).
struct KeyRange {
  TextKey first = 0;
  TextKey count = 0;
};

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
  // A CMG's tier letter ("A" of "A0101") and RIC (its two first digits,
  // "01"); kNoText for an empty text and for the RIC of a tier letter alone;
  // kOddText where cmg() would give it.
  TextKey tier(const char* cmg) const noexcept;
  TextKey ric(const char* cmg) const noexcept;

  // Each column's keys, in the order above: a description for every status
  // and "unknown status"; the table versions, oldest first; the grouper's
  // version; the tier letters A to D; the tier letters alone, then every
  // CMG, tier letter major; the RICs, lowest first.
  KeyRange descriptions() const noexcept { return range(firstDescription_, firstTableVersion_); }
  KeyRange table_versions() const noexcept { return range(firstTableVersion_, grouperVersion_); }
  KeyRange grouper_versions() const noexcept { return range(grouperVersion_, firstTierLetter_); }
  KeyRange tiers() const noexcept { return range(firstTierLetter_, firstTierLetter_ + 4); }
  KeyRange cmgs() const noexcept { return range(firstTierLetter_, firstRic_); }
  KeyRange rics() const noexcept { return range(firstRic_, static_cast<int>(texts_.size())); }

 private:
  TextKey add(std::string text);
  // A text of four characters as one word, for a quick compare; false for
  // a text of another length.
  static bool word_of(const char* text, std::uint32_t& word) noexcept;
  static KeyRange range(int first, int end) noexcept {
    return {static_cast<TextKey>(first), static_cast<TextKey>(end - first)};
  }

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
  int firstRic_ = 0;
  std::vector<std::int16_t> ricIndex_;  // RIC 00..99 -> its index, or -1
};

// The keys of this process, built on first use and never destroyed (front
// ends hold strings made from them for as long as the process lives).
const TextKeys& text_keys();

}  // namespace cmg290::batch
