#include "record_lines.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "line_reader.h"

namespace cmg290::cli {

namespace {

// Chunks of 1 MiB; a longer line keeps its first 64 KiB, far more than a
// record's 1251 positions.
constexpr std::size_t kChunkBytes = std::size_t{1} << 20;
constexpr std::size_t kKeepBytes = std::size_t{64} << 10;

class FdSource : public ByteSource {
 public:
  explicit FdSource(int fd) : fd_(fd) {}
  long read(char* buf, std::size_t n) override {
    for (;;) {
      const ssize_t got = ::read(fd_, buf, n);
      if (got >= 0) return static_cast<long>(got);
      if (errno == EINTR) continue;
      error_ = errno;
      return -1;
    }
  }
  int error() const { return error_; }

 private:
  int fd_;
  int error_ = 0;
};

}  // namespace

RecordInput::~RecordInput() {
  if (owned) close(fd);
}

bool open_record_inputs(const std::vector<std::string>& names,
                        std::vector<std::unique_ptr<RecordInput>>& inputs, bool checkStdout,
                        std::string& error) {
  struct stat out;
  const bool stdoutRegular = checkStdout && fstat(STDOUT_FILENO, &out) == 0 && S_ISREG(out.st_mode);
  for (const std::string& name : names) {
    auto in = std::make_unique<RecordInput>();
    if (name == "-") {
      in->name = "standard input";
      in->fd = STDIN_FILENO;
    } else {
      in->name = name;
      in->fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
      if (in->fd < 0) {
        error = "cannot open " + name + ": " + std::strerror(errno);
        return false;
      }
      in->owned = true;
    }
    struct stat st;
    if (fstat(in->fd, &st) != 0) {
      error = "cannot read " + in->name + ": " + std::strerror(errno);
      return false;
    }
    if (S_ISDIR(st.st_mode)) {
      error = "cannot read " + in->name + ": Is a directory";
      return false;
    }
    if (stdoutRegular && S_ISREG(st.st_mode) && st.st_dev == out.st_dev &&
        st.st_ino == out.st_ino) {
      error = "input " + in->name + " is also standard output";
      return false;
    }
    inputs.push_back(std::move(in));
  }
  return true;
}

bool for_each_line(const RecordInput& input,
                   const std::function<bool(std::int64_t, std::string_view)>& line,
                   std::string& error) {
  ChunkCutter cutter(kChunkBytes, kKeepBytes);
  const std::unique_ptr<char[]> data(new char[kChunkBytes + 1]);
  FdSource source(input.fd);
  std::int64_t number = 0;
  for (;;) {
    const ChunkFill fill = cutter.next(data.get(), source);
    if (fill.error != 0) {
      error = "cannot read " + input.name + ": " + std::strerror(source.error());
      return false;
    }
    const char* p = data.get();
    const char* end = p + fill.size;
    while (p < end) {
      const char* nl = static_cast<const char*>(std::memchr(p, '\n', end - p));
      if (!line(++number, line_text(p, nl, fill.cut))) return true;
      p = nl + 1;
    }
    if (fill.end) return true;
  }
}

}  // namespace cmg290::cli
