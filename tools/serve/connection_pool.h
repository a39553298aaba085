// The server's worker threads. Each serves one connection at a time, for as
// long as the connection is kept alive; accepted connections wait in a queue
// of bounded length. While the queue is full the server accepts no more
// connections, so further clients wait in the system's listen queue: the
// number of connections the server holds is bounded.
#pragma once

#include <httplib.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace cmg290::serve {

class ConnectionPool : public httplib::TaskQueue {
 public:
  ConnectionPool(std::size_t threads, std::size_t maxWaiting) : maxWaiting_(maxWaiting) {
    workers_.reserve(threads);
    for (std::size_t i = 0; i < threads; ++i) workers_.emplace_back([this] { work(); });
  }

  ~ConnectionPool() override { shutdown(); }

  // Called by the accepting thread for each new connection; waits while the
  // queue is full.
  void enqueue(std::function<void()> fn) override {
    std::unique_lock<std::mutex> lock(mutex_);
    roomy_.wait(lock, [this] { return waiting_.size() < maxWaiting_ || stopping_; });
    waiting_.push_back(std::move(fn));
    lock.unlock();
    ready_.notify_one();
  }

  // Serves what is queued, then joins the workers.
  void shutdown() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_ && workers_.empty()) return;
      stopping_ = true;
    }
    ready_.notify_all();
    roomy_.notify_all();
    for (std::thread& t : workers_) t.join();
    workers_.clear();
  }

 private:
  void work() {
    for (;;) {
      std::function<void()> fn;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [this] { return !waiting_.empty() || stopping_; });
        if (waiting_.empty()) return;
        fn = std::move(waiting_.front());
        waiting_.pop_front();
      }
      roomy_.notify_one();
      fn();
    }
  }

  const std::size_t maxWaiting_;
  std::vector<std::thread> workers_;
  std::deque<std::function<void()>> waiting_;
  bool stopping_ = false;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::condition_variable roomy_;
};

}  // namespace cmg290::serve
