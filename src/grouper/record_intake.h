// Record intake: the fields the grouper reads, cut out of the fixed-position
// record, and their normalisation.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>

#include "cmg290/cmg290.h"
#include "cmg290/record_layout.h"

namespace cmg290::detail {

inline constexpr int kComorbidSlots = 25;
inline constexpr int kMotorItems = 12;
inline constexpr int kCognitiveItems = 5;

// Start positions (1-based) of a run of N fields that follow one another in
// the layout.
template <int N>
constexpr std::array<int, N> starts_from(FieldId first) {
  std::array<int, N> starts{};
  for (int k = 0; k < N; ++k) starts[k] = kRecordLayout[static_cast<int>(first) + k].start;
  return starts;
}

inline constexpr auto kComorbidStart = starts_from<kComorbidSlots>(FieldId::comorbid_code_1);

// A record that holds every position the grouper reads: the caller's own
// when it is long enough, else a copy of it padded with blanks, since
// positions past the end of a record read as blanks. Short records are rare;
// only they pay for the copy.
class FullRecord {
 public:
  FullRecord(const char* record, std::size_t length) : data_(record) {
    if (length >= kRecordLength) return;
    std::memset(padded_, ' ', sizeof padded_);
    if (length > 0) std::memcpy(padded_, record, length);
    data_ = padded_;
  }
  FullRecord(const FullRecord&) = delete;
  FullRecord& operator=(const FullRecord&) = delete;

  // kRecordLength characters.
  const char* data() const { return data_; }

 private:
  const char* data_;
  char padded_[kRecordLength];
};

// Asks for every cache line of a record of kRecordLength characters at once,
// so that a record that is not in the cache costs about one wait for memory
// rather than one for each field read in turn. A hint only: it reads and
// changes nothing, and compilers without the builtin leave it out. One
// request per 64 bytes (the cache line of common processors), unrolled, and
// one for the last character, whose line the others miss when the record
// does not start on a line.
inline void prefetch_record(const char* record) {
#if defined(__GNUC__)
#pragma GCC unroll 32
  for (std::size_t at = 0; at < kRecordLength; at += 64) __builtin_prefetch(record + at);
  __builtin_prefetch(record + kRecordLength - 1);
#else
  (void)record;
#endif
}

// 25 cells of up to eight characters: the comorbid codes without blanks.
struct ComorbidCodeList {
  char cell[kComorbidSlots][9];
};

// One text per field but the comorbid slots: the field's characters followed
// by a terminator.
struct Fields {
  char recordId[11];
  char recordKind[2];
  char birthDate[9];
  char ageDate[9];
  char impairmentGroup[10];
  char motor[kMotorItems][3];
  char cognitive[kCognitiveItems][3];
  char versionDate[9];
};

// Copies positions start .. start+length-1 (1-based) of a record of
// `recordLength` characters into dst and terminates it; positions past the
// end of the record read as blanks.
void copy_field(const char* record, std::size_t recordLength, char* dst, int start, int length);

// Copies every field but the comorbid slots out of the record of
// `recordLength` characters, in record-layout order.
void extract_fields(const char* record, std::size_t recordLength, Fields& fields);

// Copies the 25 comorbid slots out of the record as they stand, untrimmed.
void extract_comorbid_slots(const char* record, std::size_t recordLength, ComorbidCodeList& slots);

// Copies the first n characters of src without blanks into dst (room n + 1)
// and terminates it. Every character is looked at, zero bytes included.
// Every character is written and the position moves on past all but blanks:
// no branch on the text, which differs record by record.
inline void remove_blanks(const char* src, int n, char* dst) {
  int j = 0;
  for (int i = 0; i < n; ++i) {
    dst[j] = src[i];
    j += src[i] != ' ';
  }
  dst[j] = '\0';
}

// Removes the blanks from the first eight characters of a nine-byte code
// in place; what Trim_CMRBD does.
void trim_code(char* code);

// Trims the 25 comorbid slots in place, in slot order: they are then the
// list that tier_letter reads.
void build_comorbid_list(ComorbidCodeList& slots);

}  // namespace cmg290::detail
