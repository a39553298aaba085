#include "batch.h"

#include <nlohmann/json.hpp>

#include <cstring>

#include "cmg290/cmg290.h"
#include "cmg290/result_json.h"

namespace cmg290::serve {

namespace {

// Results are delivered in blocks of about this size.
constexpr std::size_t kBlock = 64 * 1024;
// Room for one result line: the line number, the members and a description
// of at most 64 characters escaped.
constexpr std::size_t kMaxResultLine = 32 + kResultJsonMaxFixed + 6 * 64;
// A text line is read up to the record's length, plus one byte for a
// carriage return that may end it.
constexpr std::size_t kTextHead = kRecordLength + 1;
// The member that ends a result with edits.
constexpr std::string_view kEditsMember = ",\"edits\":";
// Room for the edits of a line, kept from the start: most records have a
// few edits or none (two take 3.5 KiB of room); it grows for a record with
// more, once.
constexpr std::size_t kEditsReserve = 4 * 1024;

// The edits of the record at hand and their text, written there first (the
// room it may need is far more than it takes): one of each per thread that
// groups, only ever grown, so that a batch allocates no more per record
// than without edits and a connection holds none of it.
struct EditsScratch {
  Edits edits;
  std::unique_ptr<char[]> text;
  std::size_t room = 0;
};

EditsScratch& edits_scratch() {
  thread_local EditsScratch scratch;
  return scratch;
}

bool blank(std::string_view line) {
  for (char c : line) {
    if (c != ' ' && c != '\t' && c != '\r') return false;
  }
  return true;
}

char* put_uint(char* out, std::uint64_t v) {
  char digits[24];
  char* p = digits + sizeof digits;
  do {
    *--p = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  const auto n = static_cast<std::size_t>(digits + sizeof digits - p);
  std::memcpy(out, p, n);
  return out + n;
}

}  // namespace

std::string tier_set_member(const TierSet* set) {
  return ",\"tier_set\":" + tier_set_json(set != nullptr ? *set : *TierSet::compiled());
}

std::string error_json(const BodyError& error, std::uint64_t line) {
  using Json = nlohmann::ordered_json;
  Json j = Json::object();
  j["error"] = error.message;
  j["code"] = error.code;
  j["field"] = error.field.empty() ? Json(nullptr) : Json(error.field);
  if (line > 0) j["line"] = line;
  return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

BatchGrouper::BatchGrouper(BodyType type, std::size_t maxLine, Sink sink, const TierSet* tierSet,
                           bool edits)
    : type_(type),
      maxLine_(maxLine),
      sink_(std::move(sink)),
      tierSet_(tierSet),
      setMember_(tier_set_member(tierSet)),
      edits_(edits) {}

void BatchGrouper::append_edits(std::string_view record, const Result& result) {
  EditsScratch& scratch = edits_scratch();
  Edits& edits = scratch.edits;
  if (tierSet_ != nullptr) {
    find_edits(record, result, *tierSet_, edits);
  } else {
    find_edits(record, result, edits);
  }
  const std::size_t room = kEditsMember.size() + edits_json_room(edits);
  if (scratch.room < room) {
    scratch.text.reset(new char[room > kEditsReserve ? room : kEditsReserve]);
    scratch.room = room > kEditsReserve ? room : kEditsReserve;
  }
  char* const start = scratch.text.get();
  std::memcpy(start, kEditsMember.data(), kEditsMember.size());
  const char* const end = write_edits_json(start + kEditsMember.size(), edits);
  out_.append(start, static_cast<std::size_t>(end - start));
}

bool BatchGrouper::deliver() {
  if (out_.empty()) return true;
  written_ += out_.size();
  const bool ok = sink_(out_.data(), out_.size());
  out_.clear();
  if (!ok) ended_ = true;
  return ok;
}

bool BatchGrouper::refuse(const BodyError& error) {
  refused_ = true;
  refusedCode_ = error.code;
  out_ += error_json(error, line_);
  out_ += '\n';
  ended_ = true;
  return false;
}

BodyError BatchGrouper::too_long_line() const {
  return {"too_large", "line longer than " + std::to_string(maxLine_) + " bytes", {}};
}

bool BatchGrouper::take_line(std::string_view line) {
  ++line_;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.empty() || (type_ == BodyType::Json && blank(line))) return true;
  std::string_view record = line;
  if (type_ == BodyType::Json) {
    if (line.size() > maxLine_) return refuse(too_long_line());
    BodyError error;
    if (!record_from_json(line, record_, error)) return refuse(error);
    record = record_;
  }
  const Result r = tierSet_ != nullptr ? group(record, *tierSet_) : group(record);
  ++records_;
  const std::size_t at = out_.size();
  out_.resize(at + kMaxResultLine + setMember_.size());
  char* p = out_.data() + at;
  std::memcpy(p, "{\"line\":", 8);
  p = put_uint(p + 8, line_);
  *p++ = ',';
  p = write_result_json(p, r, status_text(r.status));
  if (edits_) {
    out_.resize(static_cast<std::size_t>(p - out_.data()));
    append_edits(record, r);
    out_ += setMember_;
    out_ += "}\n";
  } else {
    std::memcpy(p, setMember_.data(), setMember_.size());
    p += setMember_.size();
    *p++ = '}';
    *p++ = '\n';
    out_.resize(static_cast<std::size_t>(p - out_.data()));
  }
  return true;
}

std::size_t BatchGrouper::scan(const char* data, std::size_t size, std::size_t room,
                               bool deliverAtRoom) {
  const char* const begin = data;
  const char* const end = data + size;
  while (data < end && !ended_) {
    const char* nl = static_cast<const char*>(std::memchr(data, '\n', end - data));
    const char* stop = nl != nullptr ? nl : end;
    const auto piece = static_cast<std::size_t>(stop - data);
    data = nl != nullptr ? nl + 1 : end;
    if (nl != nullptr && partialSize_ == 0) {
      take_line(std::string_view(stop - piece, piece));
    } else {
      partialSize_ += piece;
      // One byte more than the limit for the carriage return of a CRLF.
      if (type_ == BodyType::Json && partialSize_ > maxLine_ + 1) {
        ++line_;
        refuse(too_long_line());
        break;
      }
      const std::size_t space = type_ == BodyType::Text && partial_.size() < kTextHead
                                    ? kTextHead - partial_.size()
                                    : (type_ == BodyType::Json ? piece : 0);
      partial_.append(stop - piece, piece < space ? piece : space);
      if (nl != nullptr) end_line();
    }
    if (out_.size() >= room && !ended_) {
      if (!deliverAtRoom) break;
      deliver();
    }
  }
  return static_cast<std::size_t>(data - begin);
}

bool BatchGrouper::end_line() {
  const bool ok = take_line(partial_);
  partial_.clear();
  partialSize_ = 0;
  return ok;
}

bool BatchGrouper::feed(const char* data, std::size_t size) {
  if (ended_) return false;
  // Room for a block of results and the line that ends it, kept from the
  // start (results held for the caller keep the room it gives them).
  if (out_.capacity() < kBlock) {
    out_.reserve(kBlock + kMaxResultLine + setMember_.size() + (edits_ ? kEditsReserve : 0));
  }
  scan(data, size, kBlock, true);
  if (ended_) deliver();
  return !ended_;
}

std::size_t BatchGrouper::feed_some(const char* data, std::size_t size, std::size_t room) {
  if (ended_) return 0;
  reserve(room);
  return scan(data, size, room, false);
}

void BatchGrouper::reserve(std::size_t room) {
  // What is held at most (a line with edits may need more), taken at once
  // rather than grown by doubling past it.
  const std::size_t most = room + kMaxResultLine + setMember_.size();
  if (out_.capacity() < most) out_.reserve(most);
}

bool BatchGrouper::end_input() {
  if (ended_) return false;
  return partialSize_ == 0 || end_line();
}

bool BatchGrouper::finish() {
  if (ended_) return false;
  const bool ok = end_input();
  return deliver() && ok;
}

void BatchGrouper::take(std::string& into) {
  // Swapped, not copied: the two strings' rooms go round.
  into.clear();
  into.swap(out_);
}

}  // namespace cmg290::serve
