#include "batch_pipeline.h"

#include <utility>

namespace cmg290::serve {

namespace {

constexpr std::size_t kInputBlock = 256 * 1024;
// Blocks queued each way; with the blocks being worked on this bounds the
// memory of a batch to some 2 MiB.
constexpr std::size_t kQueued = 4;

}  // namespace

BatchPipeline::BatchPipeline(BodyType type, std::size_t maxLine, BatchGrouper::Sink sink)
    : sink_(std::move(sink)), grouper_(type, maxLine, [this](const char* data, std::size_t size) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return output_.size() < kQueued || abandoned_; });
        if (abandoned_) return false;
        output_.emplace_back(data, size);
        changed_.notify_all();
        return true;
      }) {
  filling_.reserve(kInputBlock);
  worker_ = std::thread([this] { work(); });
}

BatchPipeline::~BatchPipeline() {
  stop_worker();
}

void BatchPipeline::stop_worker() {
  if (!worker_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    abandoned_ = true;
    last_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

void BatchPipeline::work() {
  bool ok = true;
  try {
    ok = group_blocks();
  } catch (...) {
    ok = false;  // out of memory: the batch ends as if refused
  }
  std::lock_guard<std::mutex> lock(mutex_);
  records_ = grouper_.records();
  workerOk_ = ok;
  workerDone_ = true;
  changed_.notify_all();
}

bool BatchPipeline::group_blocks() {
  bool ok = true;
  for (;;) {
    std::string block;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this] { return !input_.empty() || last_ || abandoned_; });
      if (input_.empty() || abandoned_) break;
      block = std::move(input_.front());
      input_.pop_front();
      changed_.notify_all();
    }
    ok = grouper_.feed(block.data(), block.size());
    block.clear();
    std::lock_guard<std::mutex> lock(mutex_);
    spare_.push_back(std::move(block));
    if (!ok) break;
  }
  if (ok) {
    bool abandoned;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      abandoned = abandoned_;
    }
    ok = !abandoned && grouper_.finish();
  }
  return ok;
}

// Writes the answer blocks that are ready, without holding the lock while
// writing. False when the client is gone.
bool BatchPipeline::write_ready(std::unique_lock<std::mutex>& lock) {
  while (!output_.empty()) {
    std::string block = std::move(output_.front());
    output_.pop_front();
    changed_.notify_all();
    lock.unlock();
    const bool ok = sink_(block.data(), block.size());
    written_ += block.size();
    lock.lock();
    if (!ok) {
      abandoned_ = true;
      changed_.notify_all();
      return false;
    }
  }
  return true;
}

bool BatchPipeline::hand_over(bool last) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (!write_ready(lock)) return false;
    if (workerDone_ && !last) return false;  // a line was refused: the batch has ended
    if (input_.size() < kQueued || workerDone_) break;
    changed_.wait(lock,
                  [this] { return input_.size() < kQueued || !output_.empty() || workerDone_; });
  }
  if (!filling_.empty() && !workerDone_) {
    input_.push_back(std::move(filling_));
    filling_.clear();
    if (!spare_.empty()) {
      filling_ = std::move(spare_.back());
      spare_.pop_back();
    }
    filling_.reserve(kInputBlock);
  }
  if (last) last_ = true;
  changed_.notify_all();
  return true;
}

bool BatchPipeline::feed(const char* data, std::size_t size) {
  while (size > 0) {
    const std::size_t room = kInputBlock - filling_.size();
    const std::size_t n = size < room ? size : room;
    filling_.append(data, n);
    data += n;
    size -= n;
    if (filling_.size() == kInputBlock && !hand_over(false)) {
      finish();
      return false;
    }
  }
  return true;
}

bool BatchPipeline::finish() {
  if (!worker_.joinable()) return false;
  if (!hand_over(true)) {
    stop_worker();
    return false;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (!write_ready(lock)) break;
    if (workerDone_ && output_.empty()) break;
    changed_.wait(lock, [this] { return !output_.empty() || workerDone_; });
  }
  const bool ok = workerOk_ && !abandoned_;
  lock.unlock();
  stop_worker();
  return ok;
}

}  // namespace cmg290::serve
