// The chunk queue `cmg290 group` and `cmg290 compare` run on: chunks taken
// back in input order whatever order the workers finish them in, and a run
// that ends early (a worker's fault, or the taker's own stop) ends every
// thread, the reader's wait on a pipe and the workers' waits for a turn too.
#include "shared/chunk_queue.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace cmg290::cli::batch {
namespace {

// 80 chunks: the smallest chunks the reader makes (256 KiB), so that a few
// MiB of input go round them more than once.
constexpr std::size_t kChunks = 80;

struct TestChunk : QueuedChunk {
  std::size_t lines = 0;
};

std::vector<std::unique_ptr<Input>> file_of(const std::string& text) {
  char name[] = "/tmp/cmg290_queue.XXXXXX";
  const int fd = mkstemp(name);
  EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  close(fd);
  std::vector<std::unique_ptr<Input>> inputs;
  std::string error;
  EXPECT_TRUE(open_inputs({name}, inputs, error)) << error;
  unlink(name);
  return inputs;
}

struct QueueRun {
  explicit QueueRun(const std::vector<std::unique_ptr<Input>>& inputs)
      : queue(inputs, kChunks, 64) {
    for (std::size_t i = 0; i < kChunks; ++i) {
      chunks.push_back(std::make_unique<TestChunk>());
      queue.add(*chunks.back());
    }
  }
  ChunkQueue queue;
  std::vector<std::unique_ptr<TestChunk>> chunks;
};

TEST(ChunkQueue, ChunksComeBackInInputOrderFromManyWorkers) {
  std::string text;
  for (int i = 0; text.size() < (std::size_t{24} << 20); ++i) {
    text += std::to_string(i) + std::string(90 + i % 17, 'x') + "\n";
  }
  const auto inputs = file_of(text);
  QueueRun run(inputs);
  std::string back;
  std::size_t lines = 0;
  std::uint64_t taken = 0;
  const bool complete = run.queue.run(
      5,
      [&](unsigned worker) {
        while (auto* c = static_cast<TestChunk*>(run.queue.next_work())) {
          c->lines = static_cast<std::size_t>(std::count(c->data, c->data + c->size, '\n'));
          // Workers finish out of order.
          if ((c->seq + worker) % 3 == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(300));
          run.queue.finish(*c);
        }
      },
      [&] {
        for (std::uint64_t seq = 0;; ++seq) {
          bool end = false;
          auto* c = static_cast<TestChunk*>(run.queue.take(seq, end));
          if (c == nullptr) return end;
          EXPECT_EQ(c->seq, seq);
          EXPECT_TRUE(c->done);
          back.append(c->data, c->size);
          lines += c->lines;
          ++taken;
          run.queue.give_back(*c);
        }
      });
  EXPECT_TRUE(complete);
  EXPECT_EQ(run.queue.error(), "");
  EXPECT_GT(taken, kChunks) << "the chunks went round more than once";
  EXPECT_TRUE(back == text);
  EXPECT_EQ(lines, static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')));
}

TEST(ChunkQueue, AWorkersFaultStopsTheRunAndIsItsError) {
  std::string text;
  while (text.size() < (std::size_t{4} << 20)) text += std::string(99, 'r') + "\n";
  const auto inputs = file_of(text);
  QueueRun run(inputs);
  std::atomic<int> seen{0};
  const bool complete = run.queue.run(
      3,
      [&](unsigned) {
        while (QueuedChunk* c = run.queue.next_work()) {
          if (c->seq == 2) throw std::runtime_error("worker fault");
          ++seen;
          run.queue.finish(*c);
        }
      },
      [&] {
        for (std::uint64_t seq = 0;; ++seq) {
          bool end = false;
          QueuedChunk* c = run.queue.take(seq, end);
          if (c == nullptr) return end;
          run.queue.give_back(*c);
        }
      });
  EXPECT_FALSE(complete);
  EXPECT_EQ(run.queue.error(), "worker fault");
}

// Once the run stops, chunks still waiting are handed to no worker: a
// fault ends the grouping rather than after every chunk read.
TEST(ChunkQueue, NoChunkIsHandedOutOnceTheRunStops) {
  std::string text;
  while (text.size() < (std::size_t{3} << 20)) text += std::string(99, 's') + "\n";
  const auto inputs = file_of(text);
  QueueRun run(inputs);
  QueuedChunk* afterStop = nullptr;
  const bool complete = run.queue.run(
      1,
      [&](unsigned) {
        if (run.queue.next_work() == nullptr) return;
        // The reader has meanwhile handed on the rest of the file.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        run.queue.stop();
        afterStop = run.queue.next_work();
      },
      [&] {
        bool end = false;
        return run.queue.take(0, end) != nullptr;
      });
  EXPECT_FALSE(complete);
  EXPECT_EQ(afterStop, nullptr);
}

// The taker gives up while the reader waits on a pipe that stays open.
TEST(ChunkQueue, TheTakersStopEndsTheReadersWaitOnAPipe) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::vector<std::unique_ptr<Input>> inputs(1);
  inputs[0] = std::make_unique<Input>();
  inputs[0]->name = "pipe";
  inputs[0]->fd = fds[0];
  inputs[0]->owned = true;
  const std::string line = std::string(99, 'p') + "\n";
  ASSERT_EQ(write(fds[1], line.data(), line.size()), static_cast<ssize_t>(line.size()));
  QueueRun run(inputs);
  const bool complete = run.queue.run(
      2,
      [&](unsigned) {
        while (QueuedChunk* c = run.queue.next_work()) run.queue.finish(*c);
      },
      [] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return false;
      });
  close(fds[1]);
  EXPECT_FALSE(complete);
  EXPECT_EQ(run.queue.error(), "");
}

// Workers wait for a turn that never comes until the taker gives up.
TEST(ChunkQueue, TheTakersStopEndsTheWorkersWaitsForATurn) {
  std::string text;
  while (text.size() < (std::size_t{1} << 20)) text += std::string(99, 't') + "\n";
  const auto inputs = file_of(text);
  QueueRun run(inputs);
  std::atomic<int> waiting{0};
  std::atomic<int> ended{0};
  const bool complete = run.queue.run(
      2,
      [&](unsigned) {
        if (run.queue.next_work() == nullptr) return;
        auto lock = run.queue.lock();
        ++waiting;
        if (!run.queue.wait_turn(lock, [] { return false; })) ++ended;
      },
      [&] {
        while (waiting.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return false;
      });
  EXPECT_FALSE(complete);
  EXPECT_EQ(ended.load(), waiting.load());
  EXPECT_GE(ended.load(), 1);
}

}  // namespace
}  // namespace cmg290::cli::batch
