// A batch grouped on a thread of its own while the connection's thread
// reads the body and writes the answer: reading and writing a socket and
// grouping then share the two cores instead of taking turns. The answer is
// the same as BatchGrouper's, written through the sink on the caller's
// thread only (a TLS connection cannot be written from two threads).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "batch.h"

namespace cmg290::serve {

class BatchPipeline {
 public:
  BatchPipeline(BodyType type, std::size_t maxLine, BatchGrouper::Sink sink);
  ~BatchPipeline();

  BatchPipeline(const BatchPipeline&) = delete;
  BatchPipeline& operator=(const BatchPipeline&) = delete;

  // As BatchGrouper's: false once the batch has ended.
  bool feed(const char* data, std::size_t size);
  bool finish();

  std::uint64_t records() const { return records_; }
  std::uint64_t bytes_written() const { return written_; }

 private:
  void work();
  bool group_blocks();
  bool hand_over(bool last);
  bool write_ready(std::unique_lock<std::mutex>& lock);
  void stop_worker();

  BatchGrouper::Sink sink_;
  BatchGrouper grouper_;  // used by the worker only, until it is joined
  std::string filling_;   // the input block being filled on the caller's thread

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::string> input_;   // blocks for the worker
  std::deque<std::string> output_;  // answer blocks for the caller
  std::vector<std::string> spare_;  // emptied input blocks, to be filled again
  bool last_ = false;               // no more input
  bool workerDone_ = false;
  bool workerOk_ = true;
  bool abandoned_ = false;  // the answer can no longer be written

  std::uint64_t records_ = 0;
  std::uint64_t written_ = 0;
  std::thread worker_;
};

}  // namespace cmg290::serve
