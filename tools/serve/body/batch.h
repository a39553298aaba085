// Groups the records of a batch body as its bytes arrive and writes one JSON
// Lines result per record, in input order, in blocks: neither the body nor
// the answer is ever held whole. The results are either delivered to a sink
// in blocks (feed, finish), or held until the caller takes them, grouping
// stopping once they reach a given size (feed_some, end_input, take).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "cmg290/edits.h"
#include "cmg290/tier_set.h"
#include "request_body.h"

namespace cmg290::serve {

class BatchGrouper {
 public:
  // Takes each block of the answer; false when it cannot be delivered (the
  // client went away), which ends the batch.
  using Sink = std::function<bool(const char* data, std::size_t size)>;

  // `type` is Text (a record per line) or Json (a JSON object per line, as
  // the single calls take). A JSON line longer than `maxLine` bytes (without
  // its line end) is refused; a text line may be of any length, only its first 1251 bytes
  // are read.
  // Records are grouped with the tier lists of `tierSet`, or the compiled-in
  // ones when it is null; the set must outlive the grouper. With `edits`,
  // each result holds the record's edits ("edits":[...]); each ends in the
  // set's identity ("tier_set":{...}), as a line of `cmg290 group -f jsonl`.
  BatchGrouper(BodyType type, std::size_t maxLine, Sink sink, const TierSet* tierSet = nullptr,
               bool edits = false);

  // The next bytes of the body. Returns false once the batch has ended: the
  // answer could not be delivered, or a line was refused and its error
  // written as the last line.
  bool feed(const char* data, std::size_t size);

  // After the last bytes: groups a last line that has no line end and
  // delivers what is left. Returns false as feed() does.
  bool finish();

  // Delivers the results grouped so far. Returns false as feed() does.
  bool flush() { return !ended_ && deliver(); }

  // Groups the lines of the next bytes of the body, holding their results,
  // and stops after the line that brings the results held to `room` bytes or
  // more. Returns the bytes taken: all of them unless it stopped so (or the
  // batch ended: a refused line's error is then the last result held).
  std::size_t feed_some(const char* data, std::size_t size, std::size_t room);
  // Makes room for the results feed_some(..., room) holds, so that it need
  // not allocate (as it would otherwise, on whatever thread it runs).
  void reserve(std::size_t room);
  // After the last bytes: groups a last line that has no line end, holding
  // its result. False when the batch has ended.
  bool end_input();
  // Moves the results held to `into`, in place of what it held.
  void take(std::string& into);
  bool ended() const { return ended_; }

  std::uint64_t records() const { return records_; }
  bool refused() const { return refused_; }
  // The code of the refused line's error, when one was refused.
  const std::string& refused_code() const { return refusedCode_; }
  std::uint64_t bytes_written() const { return written_; }

 private:
  bool take_line(std::string_view line);
  // Groups the lines of `data` until the results held reach `room` bytes,
  // delivering them there when `deliverAtRoom`; returns the bytes taken.
  std::size_t scan(const char* data, std::size_t size, std::size_t room, bool deliverAtRoom);
  bool end_line();
  bool refuse(const BodyError& error);
  BodyError too_long_line() const;
  bool deliver();
  void append_edits(std::string_view record, const Result& result);

  BodyType type_;
  std::size_t maxLine_;
  Sink sink_;
  const TierSet* tierSet_;
  std::string setMember_;        // tier_set_member(tierSet_), ending each result
  std::string partial_;          // the start of a line split across blocks
  std::size_t partialSize_ = 0;  // its whole length so far (text keeps only a head)
  std::string record_;           // a record built from a JSON line
  std::string out_;              // results not yet delivered
  bool edits_ = false;           // each result holds its record's edits
  std::uint64_t line_ = 0;
  std::uint64_t records_ = 0;
  std::uint64_t written_ = 0;
  bool refused_ = false;
  std::string refusedCode_;
  bool ended_ = false;
};

// The member naming the set (null: the compiled-in one) that ends every
// result, with its leading comma: ,"tier_set":{...} as tier_set_json writes
// it.
std::string tier_set_member(const TierSet* set);

// Writes an error answer's members: {"error":...,"code":...,"field":...}
// with "line" when above 0. The field is null when empty.
std::string error_json(const BodyError& error, std::uint64_t line = 0);

}  // namespace cmg290::serve
