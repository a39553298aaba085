// Record intake: the fields the grouper reads, cut out of the fixed-position
// record, and their normalisation.
#pragma once

#include <cstddef>

namespace cmg290::detail {

inline constexpr int kComorbidSlots = 25;
inline constexpr int kMotorItems = 12;
inline constexpr int kCognitiveItems = 5;

// 25 cells of up to eight characters: the comorbid codes without blanks.
struct ComorbidCodeList {
  char cell[kComorbidSlots][9];
};

// One text per field: the field's characters followed by a terminator.
struct Fields {
  char recordId[11];
  char recordKind[2];
  char birthDate[9];
  char ageDate[9];
  char impairmentGroup[10];
  ComorbidCodeList comorbid;  // the slots as copied; build_comorbid_list trims them
  char motor[kMotorItems][3];
  char cognitive[kCognitiveItems][3];
  char versionDate[9];
};

// Copies positions start .. start+length-1 (1-based) of a record of
// `recordLength` characters into dst and terminates it; positions past the
// end of the record read as blanks.
void copy_field(const char* record, std::size_t recordLength, char* dst, int start, int length);

// Copies every field out of the record, in record-layout order.
void extract_fields(const char* record, std::size_t recordLength, Fields& fields);

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

// Trims the 25 comorbid slots in place, in slot order: fields.comorbid is
// then the list that the tier search reads.
void build_comorbid_list(Fields& fields);

}  // namespace cmg290::detail
