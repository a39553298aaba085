// The records of a report request's body counted as its bytes arrive, into
// the accumulators `cmg290 report` counts into (tools/report): the body is
// never held whole, and nothing kept grows with the number of records.
// Lines are read as a batch's are (body/batch.h): a text line is a record,
// only its first 1251 bytes read; a JSON line is a record as the single
// calls take it, refused above `maxLine` bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "cmg290/edits.h"
#include "cmg290/tier_set.h"
#include "report/figures.h"
#include "report/report_build.h"
#include "report/report_scan.h"
#include "request_body.h"

namespace cmg290::serve {

// The name the report gives its one input, in place of a file name.
inline constexpr const char* kReportInputName = "request body";

class ReportCounter {
 public:
  // `set` and `weights` (null: none) must outlive the counter.
  ReportCounter(BodyType type, std::size_t maxLine, const TierSet& set,
                const cli::report::WeightsInUse* weights = nullptr);

  // The next bytes of the body. False once a line has been refused (see
  // error()); nothing more is counted then.
  bool feed(const char* data, std::size_t size);
  // After the last bytes: counts a last line without a line end.
  bool finish();

  std::uint64_t records() const { return result_->tally.records; }
  // The refused line's error and its number (from 1).
  const BodyError& error() const { return error_; }
  std::uint64_t error_line() const { return line_; }

  // The report's figures, once finish() returned true.
  void figures(cli::report::Figures& f) const;

 private:
  bool take_line(std::string_view line);
  bool refuse(BodyError error);

  BodyType type_;
  std::size_t maxLine_;
  const TierSet& set_;
  const cli::report::WeightsInUse* weights_;
  std::unique_ptr<cli::report::ScanResult> result_;  // large: on the heap
  Edits edits_;
  std::string partial_;          // the start of a line split across blocks
  std::size_t partialSize_ = 0;  // its whole length so far (text keeps only a head)
  std::string record_;           // a record built from a JSON line
  std::uint64_t line_ = 0;
  bool refused_ = false;
  BodyError error_;
};

}  // namespace cmg290::serve
