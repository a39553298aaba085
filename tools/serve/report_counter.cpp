#include "report_counter.h"

#include <cstring>

#include "cmg290/record_layout.h"

namespace cmg290::serve {

namespace {

// A text line is read up to the record's length, plus one byte for a
// carriage return that may end it (as a batch reads it).
constexpr std::size_t kTextHead = kRecordLength + 1;

bool blank(std::string_view line) {
  for (char c : line) {
    if (c != ' ' && c != '\t' && c != '\r') return false;
  }
  return true;
}

BodyError too_long_line(std::size_t maxLine) {
  return {"too_large", "line longer than " + std::to_string(maxLine) + " bytes", {}};
}

}  // namespace

ReportCounter::ReportCounter(BodyType type, std::size_t maxLine, const TierSet& set,
                             const cli::report::WeightsInUse* weights)
    : type_(type),
      maxLine_(maxLine),
      set_(set),
      weights_(weights),
      result_(std::make_unique<cli::report::ScanResult>()) {
  result_->fileRecords.assign(1, 0);
}

bool ReportCounter::refuse(BodyError error) {
  refused_ = true;
  error_ = std::move(error);
  return false;
}

bool ReportCounter::take_line(std::string_view line) {
  ++line_;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.empty() || (type_ == BodyType::Json && blank(line))) {
    ++result_->emptyLines;
    return true;
  }
  std::string_view record = line;
  if (type_ == BodyType::Json) {
    if (line.size() > maxLine_) return refuse(too_long_line(maxLine_));
    BodyError error;
    if (!record_from_json(line, record_, error)) return refuse(std::move(error));
    record = record_;
  }
  cli::report::count_record(record, set_, weights_ != nullptr ? weights_->table : nullptr,
                            result_->tally, edits_);
  ++result_->fileRecords[0];
  // The first lines of each edit code, in body order: the blocks are
  // counted one after the other.
  for (const Edit& e : edits_) {
    auto& lines = result_->firstLines[static_cast<int>(e.id)];
    const auto number = static_cast<std::int64_t>(line_);
    if (lines.size() < cli::report::kFirstLines && (lines.empty() || lines.back().line != number)) {
      lines.push_back({0, number});
    }
  }
  return true;
}

bool ReportCounter::feed(const char* data, std::size_t size) {
  if (refused_) return false;
  const char* const end = data + size;
  while (data < end) {
    const char* nl = static_cast<const char*>(std::memchr(data, '\n', end - data));
    const char* stop = nl != nullptr ? nl : end;
    const auto piece = static_cast<std::size_t>(stop - data);
    if (nl != nullptr && partialSize_ == 0) {
      if (!take_line(std::string_view(data, piece))) return false;
    } else {
      partialSize_ += piece;
      // One byte more than the limit for the carriage return of a CRLF.
      if (type_ == BodyType::Json && partialSize_ > maxLine_ + 1) {
        ++line_;
        return refuse(too_long_line(maxLine_));
      }
      const std::size_t room = type_ == BodyType::Text && partial_.size() < kTextHead
                                   ? kTextHead - partial_.size()
                                   : (type_ == BodyType::Json ? piece : 0);
      partial_.append(data, piece < room ? piece : room);
      if (nl != nullptr) {
        const bool ok = take_line(partial_);
        partial_.clear();
        partialSize_ = 0;
        if (!ok) return false;
      }
    }
    data = nl != nullptr ? nl + 1 : end;
  }
  return true;
}

bool ReportCounter::finish() {
  if (refused_) return false;
  if (partialSize_ == 0) return true;
  const bool ok = take_line(partial_);
  partial_.clear();
  partialSize_ = 0;
  return ok;
}

void ReportCounter::figures(cli::report::Figures& f) const {
  cli::report::fill_figures(*result_, {kReportInputName}, set_, weights_, f);
}

}  // namespace cmg290::serve
