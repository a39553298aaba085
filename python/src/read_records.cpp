// cmg290._native.read_records: a file of records, one per line, into a
// NumPy array of dtype S1251, with the line rules of `cmg290 group` (its
// own line reader does the cutting): LF or CRLF, a last line without a
// line end counts, empty lines are skipped, a short line is filled out
// with blanks and a longer one keeps its first 1251 characters.
#include <fcntl.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "bindings.h"
#include "cmg290/cmg290.h"
#include "line_reader.h"

namespace py = pybind11;

namespace cmg290::python {

namespace {

constexpr std::size_t kRecord = cmg290::kRecordLength;
constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

class FileSource : public cli::ByteSource {
 public:
  explicit FileSource(int fd) : fd_(fd) {}
  long read(char* buf, std::size_t n) override {
    for (;;) {
      const ssize_t got = ::read(fd_, buf, n);
      if (got >= 0) return static_cast<long>(got);
      if (errno != EINTR) return -static_cast<long>(errno);
    }
  }

 private:
  int fd_;
};

// Records laid end to end in one malloc'd block, which grows by realloc
// (large blocks are remapped, not copied) and is handed to NumPy at the end.
class RecordBlock {
 public:
  explicit RecordBlock(std::size_t expected) { reserve(std::max<std::size_t>(expected, 64)); }
  ~RecordBlock() { std::free(data_); }

  char* append() {
    if (count_ == capacity_) reserve(capacity_ + capacity_ / 2);
    return data_ + kRecord * count_++;
  }
  std::size_t count() const { return count_; }
  // Gives up the block, trimmed to its records.
  char* release() {
    if (count_ > 0 && count_ < capacity_) {
      if (char* p = static_cast<char*>(std::realloc(data_, kRecord * count_))) data_ = p;
    }
    char* p = data_;
    data_ = nullptr;
    return p;
  }

 private:
  void reserve(std::size_t records) {
    char* p = static_cast<char*>(std::realloc(data_, kRecord * records));
    if (p == nullptr) throw std::bad_alloc();
    data_ = p;
    capacity_ = records;
  }

  char* data_ = nullptr;
  std::size_t count_ = 0;
  std::size_t capacity_ = 0;
};

struct FileCloser {
  int fd;
  ~FileCloser() { ::close(fd); }
};

// Reads the lines of an open file into `block`; returns 0 or an errno.
int read_lines(int fd, RecordBlock& block) {
  FileSource source(fd);
  cli::ChunkCutter cutter(kChunkBytes, kRecord);
  std::unique_ptr<char[]> chunk(new char[kChunkBytes + 1]);
  for (;;) {
    const cli::ChunkFill fill = cutter.next(chunk.get(), source);
    if (fill.error != 0) return static_cast<int>(-fill.error);
    const char* p = chunk.get();
    const char* const end = p + fill.size;
    while (p < end) {
      const char* nl =
          static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
      const std::string_view text = cli::line_text(p, nl, fill.cut);
      p = nl + 1;
      if (text.empty()) continue;
      char* record = block.append();
      const std::size_t n = std::min(text.size(), kRecord);
      std::memcpy(record, text.data(), n);
      std::memset(record + n, ' ', kRecord - n);
    }
    if (fill.end) return 0;
  }
}

py::array read_records(const py::object& path) {
  const py::object fspath = py::module_::import("os").attr("fsencode")(path);
  const std::string name = fspath.cast<std::string>();
  char* data = nullptr;
  std::size_t count = 0;
  int error = 0;
  {
    py::gil_scoped_release release;
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      error = errno;
    } else {
      FileCloser closer{fd};
      struct stat st;
      const std::size_t expected = fstat(fd, &st) == 0 && S_ISREG(st.st_mode)
                                       ? static_cast<std::size_t>(st.st_size) / (kRecord + 1) + 1
                                       : 0;
      RecordBlock block(expected);
      error = read_lines(fd, block);
      count = block.count();
      if (error == 0) data = block.release();
    }
  }
  if (error != 0) {
    errno = error;
    PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, path.ptr());
    throw py::error_already_set();
  }
  py::capsule owner(data, [](void* p) { std::free(p); });
  return py::array(py::dtype("S" + std::to_string(kRecord)), {static_cast<py::ssize_t>(count)},
                   {static_cast<py::ssize_t>(kRecord)}, data, owner);
}

}  // namespace

void bind_records(py::module_& m) {
  m.def("read_records", &read_records, py::arg("path"),
        "Reads a file of records; see cmg290.read_records.");
}

}  // namespace cmg290::python
