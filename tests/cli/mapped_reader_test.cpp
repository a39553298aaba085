// Reading a regular file in place: the chunks shown through mapped windows
// must hold the same lines as reading the file with read(), and a file cut
// short under its windows must stop the reading instead of the process.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "cli/mapped_reading.h"

namespace cmg290::test {
namespace {

using namespace std::string_literals;
using cli::WindowArena;

class TempFile {
 public:
  explicit TempFile(const std::string& text) {
    char name[] = "/tmp/cmg290_mapped.XXXXXX";
    fd_ = mkstemp(name);
    path_ = name;
    EXPECT_EQ(write(fd_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  ~TempFile() {
    close(fd_);
    unlink(path_.c_str());
  }
  int fd() const { return fd_; }

 private:
  int fd_;
  std::string path_;
};

std::vector<ReadLine> read_in_place(WindowArena& arena, const std::string& text, std::size_t start,
                                    std::size_t chunk, std::size_t keep) {
  TempFile file(text);
  const InPlaceReading r = test::read_in_place(arena, file.fd(), text, start, chunk, keep);
  EXPECT_EQ(r.fault, "");
  return r.lines;
}

TEST(MappedReader, SameLinesAsReadingWithRead) {
  const std::size_t page = WindowArena::page_size();
  const auto arena = WindowArena::create(2, 4 * page);
  ASSERT_NE(arena, nullptr);

  const std::string small = "first\r\n\n\r\nshort\n" + std::string(30, 'L') + "\r\n" + "mid\r" +
                            std::string(17, 'M') + "\n" + "\0nul\0\n"s + "a\nb\nc\nd\n" +
                            std::string(9, 'N') + "\r\r\n" + "tail without end\r";
  int runs = 0;
  for (std::size_t chunk = 2; chunk <= 40; ++chunk) {
    for (std::size_t keep = 1; keep < chunk && keep <= 6; keep += 2) {
      for (std::size_t start : {0, 1, 7, 70}) {
        const auto expected = split_lines(std::string_view(small).substr(start), chunk, keep);
        ASSERT_EQ(read_in_place(*arena, small, start, chunk, keep), expected)
            << chunk << "/" << keep << " from " << start;
        ++runs;
      }
    }
  }
  EXPECT_GT(runs, 300);

  // Windows that start inside a page and lines across page ends, over
  // random line lengths, some longer than a chunk and some ending the file
  // without a line end.
  std::mt19937 random(7);
  std::size_t cutLines = 0;
  for (int round = 0; round < 40; ++round) {
    std::string text;
    while (text.size() < 5 * page) {
      const std::size_t length = random() % 5 == 0 ? random() % (3 * page) : random() % 300;
      text += std::string(length, static_cast<char>('a' + round % 26));
      if (random() % 7 == 0) text += '\r';
      text += '\n';
    }
    if (round % 2 == 1) text.resize(text.size() - 1 - random() % 100);
    const std::size_t chunk = page + random() % (2 * page - 1);
    const std::size_t keep = 1 + random() % 1300;
    const std::size_t start = round % 3 == 0 ? 0 : random() % page;
    const auto expected = split_lines(std::string_view(text).substr(start), chunk, keep);
    ASSERT_EQ(read_in_place(*arena, text, start, chunk, keep), expected)
        << "round " << round << ", chunk " << chunk << ", keep " << keep;
    for (const ReadLine& line : expected) cutLines += line.cut;
  }
  EXPECT_GT(cutLines, 20u);
}

TEST(MappedReader, FileCutShortUnderItsWindowStopsTheReadNotTheProcess) {
  const std::size_t page = WindowArena::page_size();
  const auto arena = WindowArena::create(2, 4 * page);
  ASSERT_NE(arena, nullptr);
  EXPECT_EQ(WindowArena::create(1, page), nullptr) << "one arena at a time";

  // A window onto three pages, two of which go away.
  TempFile file(std::string(3 * page, 'x'));
  const char* w = arena->map(0, file.fd(), 0, 3 * page);
  ASSERT_NE(w, nullptr);
  EXPECT_FALSE(arena->cut_short(0));
  ASSERT_EQ(ftruncate(file.fd(), static_cast<off_t>(page)), 0);
  std::string seen(w, 3 * page);
  EXPECT_EQ(seen, std::string(page, 'x') + std::string(2 * page, '\n'));
  EXPECT_TRUE(arena->cut_short(0));
  EXPECT_FALSE(arena->cut_short(1));

  // Mapped again, the window starts clean.
  ASSERT_NE(arena->map(0, file.fd(), 0, page), nullptr);
  EXPECT_FALSE(arena->cut_short(0));
  arena->unmap(0);

  // The cutter reports it rather than handing out the made-up line ends.
  ASSERT_EQ(ftruncate(file.fd(), static_cast<off_t>(3 * page)), 0);
  cli::MappedCutter cutter(*arena, 3 * page, 10);
  cutter.reset(file.fd(), 0, 3 * page);
  ASSERT_EQ(ftruncate(file.fd(), static_cast<off_t>(page / 2)), 0);
  char room[11];
  const cli::MappedChunk m = cutter.next(1, room);
  EXPECT_TRUE(m.cutShort);
  EXPECT_EQ(m.size, 0u);
}

// The handler runs on whichever threads fault, at the same time, while
// other threads map windows and allocate: each faulting thread gets its
// pages of line ends, and only its own window is marked.
TEST(MappedReader, FaultsOnManyThreadsAtOnceWhileOthersMapAndAllocate) {
  const std::size_t page = WindowArena::page_size();
  constexpr std::size_t kFaulting = 4;
  const auto arena = WindowArena::create(kFaulting + 1, 4 * page);
  ASSERT_NE(arena, nullptr);
  TempFile intact(std::string(4 * page, 'y'));
  for (int round = 0; round < 20; ++round) {
    TempFile file(std::string(4 * page, 'x'));
    std::vector<const char*> windows;
    for (std::size_t slot = 0; slot < kFaulting; ++slot) {
      windows.push_back(arena->map(slot, file.fd(), 0, 4 * page));
      ASSERT_NE(windows.back(), nullptr);
    }
    ASSERT_EQ(ftruncate(file.fd(), static_cast<off_t>(page)), 0);

    std::atomic<bool> go{false};
    std::vector<std::string> seen(kFaulting);
    std::vector<std::thread> threads;
    for (std::size_t slot = 0; slot < kFaulting; ++slot) {
      threads.emplace_back([&, slot] {
        while (!go) {
        }
        seen[slot].assign(windows[slot], 4 * page);
      });
    }
    threads.emplace_back([&] {
      while (!go) {
      }
      for (int i = 0; i < 50; ++i) {
        const std::unique_ptr<char[]> block(new char[1 + i * 4096]);
        block[0] = 'z';
        ASSERT_NE(arena->map(kFaulting, intact.fd(), 0, 4 * page), nullptr);
        ASSERT_EQ(*arena->map(kFaulting, intact.fd(), page, page), 'y');
      }
    });
    go = true;
    for (std::thread& t : threads) t.join();
    for (std::size_t slot = 0; slot < kFaulting; ++slot) {
      EXPECT_EQ(seen[slot], std::string(page, 'x') + std::string(3 * page, '\n'))
          << "round " << round << ", window " << slot;
      EXPECT_TRUE(arena->cut_short(slot)) << "round " << round << ", window " << slot;
      arena->unmap(slot);
    }
    EXPECT_FALSE(arena->cut_short(kFaulting));
  }
}

TEST(MappedReader, FaultsOutsideTheWindowsStillKill) {
  const auto arena = WindowArena::create(1, WindowArena::page_size());
  ASSERT_NE(arena, nullptr);
  // Killed by the signal, or stopped by a handler there was before (a
  // sanitizer's, say).
  EXPECT_DEATH(raise(SIGBUS), "");
}

}  // namespace
}  // namespace cmg290::test
