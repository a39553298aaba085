// Public interface of the CMG 2.90 grouper for inpatient rehabilitation
// assessments.
//
// Two entries group one fixed-position IRF-PAI assessment record. Both run
// the same grouping pass and give identical results for the same record.
//
//  * CMG_290: the classic entry over raw character buffers. `record` must
//    hold at least 1251 readable characters; positions 1 to 1251 are read
//    (and no others), whatever their content, including zero bytes. The
//    caller provides the output buffers: cmgResult 6 bytes, motorScore 7,
//    tableVersion 5, grouperVersion 5. Returns the status code, which is
//    also stored in *status.
//
//  * cmg290::group: the safe entry for callers that hold a record of known
//    length. Positions beyond the end of a shorter record read as blanks;
//    nothing past record.size() is ever read. The result is returned by
//    value.
//
// Status codes: 0 grouped; 1 record identifier is not "IRF-PAI"; 2 record
// kind is "3"; 3 version date before 20100701; 5 blank in the birth date
// while its year text equals the age date's; 6 age date before birth date;
// 7 age of 141 or more; 9 impairment group not in the table. There are no
// codes 4 and 8. The first failing check ends the pass; outputs written
// before it keep their values, the others keep their reset values:
//   cmgResult "     ", motorScore " 0.0", cognitiveScore 0, age 0,
//   tableVersion "    " (or the label its version date selects, which is
//   written before any check), grouperVersion "2.90" (always).
//   The age is written from status 7 on; the scores only on success.
//
// On success cmgResult holds the comorbidity tier letter followed by the
// four-digit CMG code ("A0101"). When no CMG row matches, which can only
// happen for item values outside 0 to 7 or a negative age, the status is
// still 0 and cmgResult holds the tier letter alone ("A").
//
// Neither entry allocates, takes a lock, starts a thread or prints.
#pragma once

#include <cstddef>
#include <string_view>

#include "cmg290/export.h"

CMG290_API int CMG_290(char* record, char* cmgResult, int* status, char* motorScore,
                       int* cognitiveScore, int* age, char* tableVersion, char* grouperVersion);

// Copies record positions start .. start+length-1 (1-based) into
// destination[0 .. length-1] and terminates it at destination[length].
// A length below 1 writes nothing. Otherwise checks nothing: the caller
// guarantees the record's length and the destination's room (length + 1
// bytes).
CMG290_API void FillData(char* record, char* destination, int start, int length);

// Removes every blank from the first eight characters of `code`, in place,
// closing up the rest; the result (0 to 8 characters) is terminated.
// `code` must hold at least nine bytes.
CMG290_API void Trim_CMRBD(char* code);

namespace cmg290 {

// Highest record position that the grouper reads.
inline constexpr std::size_t kRecordLength = 1251;

// The grouper's own version label.
inline constexpr std::string_view kGrouperVersion = "2.90";

// Result of one grouping call; every text is zero-terminated.
struct Result {
  int status;              // status code, see above
  char cmg[6];             // tier letter and CMG code, "     " when not grouped
  char motorScore[7];      // weighted motor score text, " 0.0" when not computed
  int cognitiveScore;      // cognitive sum, 0 when not computed
  int age;                 // age in whole years, 0 before it is computed
  char tableVersion[5];    // "2.40" ... "2.90", or four blanks
  char grouperVersion[5];  // "2.90"
};

// Groups one record held in memory (see the safe entry above).
CMG290_API Result group(std::string_view record) noexcept;

// A short English description of a status code ("grouped", ...); an unknown
// code gives "unknown status".
CMG290_API const char* status_text(int status) noexcept;

}  // namespace cmg290
