// The reader `cmg290 group` and `cmg290 compare` share: the inputs cut into
// chunks of whole lines in order, what each chunk tells of its input, and
// how a stop or an input that cannot be read ends the reading.
#include "shared/chunk_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace cmg290::cli::batch {
namespace {

class TestSlots : public ChunkReader::Slots {
 public:
  TestSlots(ChunkReader& reader, std::size_t chunks) : reader_(reader) {
    for (std::size_t i = 0; i < chunks; ++i) {
      all_.emplace_back();
      reader.equip(all_.back(), i);
    }
    for (InputChunk& c : all_) free_.push_back(&c);
  }
  // Takes in every filled chunk at once, so that the free ones never run out.
  InputChunk* acquire() override {
    if (free_.empty()) return nullptr;
    InputChunk* c = free_.back();
    free_.pop_back();
    return c;
  }
  void release(InputChunk* c) override { free_.push_back(c); }
  void submit(InputChunk* c) override {
    text.append(c->data, c->size);
    firsts.push_back(c->firstOfFile ? c->file : SIZE_MAX);
    ends.push_back(c->bytesEnd);
    EXPECT_EQ(c->data[c->size - 1], '\n');
    reader_.unmap(*c);
    free_.push_back(c);
  }
  void fail(std::string message) override { failures.push_back(std::move(message)); }

  std::string text;
  std::vector<std::size_t> firsts;  // per chunk: its file when first of it
  std::vector<std::uint64_t> ends;
  std::vector<std::string> failures;

 private:
  ChunkReader& reader_;
  std::vector<InputChunk> all_;
  std::vector<InputChunk*> free_;
};

std::unique_ptr<Input> regular_input(const std::string& text, int flags = O_RDONLY) {
  char name[] = "/tmp/cmg290_reader.XXXXXX";
  const int fd = mkstemp(name);
  EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  close(fd);
  std::vector<std::unique_ptr<Input>> inputs;
  std::string error;
  EXPECT_TRUE(open_inputs({name}, inputs, error)) << error;
  if (flags != O_RDONLY) {
    close(inputs[0]->fd);
    inputs[0]->fd = open(name, flags);
  }
  unlink(name);
  return std::move(inputs[0]);
}

std::string lines(char letter, std::size_t count) {
  std::string s;
  for (std::size_t i = 0; i < count; ++i) s += std::string(1 + i % 300, letter) + "\n";
  return s;
}

TEST(ChunkReader, CutsFilesAndPipesIntoWholeLinesInOrder) {
  const std::string a = lines('a', 9000), b = lines('b', 7000) + "no end";
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::vector<std::unique_ptr<Input>> inputs;
  inputs.push_back(regular_input(a));
  inputs.push_back(std::make_unique<Input>());
  inputs[1]->name = "the pipe";
  inputs[1]->fd = fds[0];
  inputs[1]->owned = true;
  inputs.push_back(regular_input(a));
  std::thread writer([&] {
    EXPECT_EQ(write(fds[1], b.data(), b.size()), static_cast<ssize_t>(b.size()));
    close(fds[1]);
  });
  int wake[2];
  ASSERT_EQ(pipe(wake), 0);

  ChunkReader reader(inputs, 40, 100);  // the smallest chunks: a file spans several
  TestSlots slots(reader, 40);
  EXPECT_TRUE(reader.read_all(slots, wake[0]));
  writer.join();
  EXPECT_TRUE(slots.failures.empty());
  EXPECT_EQ(slots.text, a + b + "\n" + a);
  EXPECT_GT(slots.ends.size(), 6u);
  EXPECT_EQ(slots.ends.back(), 2 * a.size() + b.size());
  for (std::size_t i = 1; i < slots.ends.size(); ++i) EXPECT_LT(slots.ends[i - 1], slots.ends[i]);
  std::vector<std::size_t> firsts;
  for (std::size_t f : slots.firsts) {
    if (f != SIZE_MAX) firsts.push_back(f);
  }
  EXPECT_EQ(firsts, (std::vector<std::size_t>{0, 1, 2}));
  EXPECT_EQ(slots.firsts.front(), 0u);
  close(wake[0]);
  close(wake[1]);
}

// `text` as gzip(1) compresses it.
std::string gzipped(const std::string& text) {
  char name[] = "/tmp/cmg290_reader_gz.XXXXXX";
  const int fd = mkstemp(name);
  EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  close(fd);
  const std::string gz = std::string(name) + ".gz";
  EXPECT_EQ(std::system(("gzip -n '" + std::string(name) + "'").c_str()), 0);
  std::ifstream in(gz, std::ios::binary);
  std::string out((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  unlink(gz.c_str());
  return out;
}

TEST(ChunkReader, InflatesGzipFilesAndPipesIntoTheSameChunks) {
  // Two members in a file, one through a pipe, then a plain file: the
  // chunks hold the plain text, and count the compressed bytes read.
  const std::string a = lines('a', 9000), b = lines('b', 7000) + "no end";
  const std::string twoMembers = gzipped(a) + gzipped(b + "\n"), piped = gzipped(b);
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::vector<std::unique_ptr<Input>> inputs;
  inputs.push_back(regular_input(twoMembers));
  EXPECT_TRUE(inputs[0]->gzip);
  inputs.push_back(std::make_unique<Input>());
  inputs[1]->fd = fds[0];
  inputs[1]->owned = true;
  inputs.push_back(regular_input(a));
  EXPECT_FALSE(inputs[2]->gzip);
  std::thread writer([&] {
    EXPECT_EQ(write(fds[1], piped.data(), piped.size()), static_cast<ssize_t>(piped.size()));
    close(fds[1]);
  });
  int wake[2];
  ASSERT_EQ(pipe(wake), 0);
  ChunkReader reader(inputs, 40, 100);
  TestSlots slots(reader, 40);
  EXPECT_TRUE(reader.read_all(slots, wake[0]));
  writer.join();
  EXPECT_TRUE(slots.failures.empty());
  EXPECT_TRUE(slots.text == a + b + "\n" + b + "\n" + a);
  const std::uint64_t total = twoMembers.size() + piped.size() + a.size();
  EXPECT_EQ(slots.ends.back(), total);
  for (std::size_t i = 1; i < slots.ends.size(); ++i) {
    EXPECT_LE(slots.ends[i - 1], slots.ends[i]);
    EXPECT_LE(slots.ends[i], total);
  }
  close(wake[0]);
  close(wake[1]);
}

TEST(ChunkReader, StopsWithoutMessageOrFailsWithTheInputsName) {
  int wake[2];
  ASSERT_EQ(pipe(wake), 0);
  {
    // A pipe that stays open: the stop ends the wait, and is no failure.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::vector<std::unique_ptr<Input>> inputs;
    inputs.push_back(std::make_unique<Input>());
    inputs[0]->fd = fds[0];
    inputs[0]->owned = true;
    ChunkReader reader(inputs, 4, 100);
    TestSlots slots(reader, 4);
    std::thread stopper([&] { EXPECT_EQ(write(wake[1], "", 1), 1); });
    EXPECT_FALSE(reader.read_all(slots, wake[0]));
    stopper.join();
    EXPECT_TRUE(slots.failures.empty());
    EXPECT_EQ(slots.text, "");
    close(fds[1]);
  }
  char byte;
  ASSERT_EQ(read(wake[0], &byte, 1), 1);
  {
    // Neither mapped nor read: the failure names the input, and no input
    // after it is read.
    std::vector<std::unique_ptr<Input>> inputs;
    inputs.push_back(regular_input("a\n"));
    inputs.push_back(regular_input("b\n", O_WRONLY));
    inputs[1]->name = "second.txt";
    inputs.push_back(regular_input("c\n"));
    ChunkReader reader(inputs, 4, 100);
    TestSlots slots(reader, 4);
    EXPECT_FALSE(reader.read_all(slots, wake[0]));
    EXPECT_EQ(slots.text, "a\n");
    EXPECT_EQ(slots.failures,
              std::vector<std::string>{"cannot read second.txt: " + std::string(strerror(EBADF))});
  }
  close(wake[0]);
  close(wake[1]);
}

}  // namespace
}  // namespace cmg290::cli::batch
