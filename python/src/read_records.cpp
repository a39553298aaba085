// cmg290._native.read_records: a file of records, one per line, into a
// NumPy array of dtype S1251, with the line rules of `cmg290 group` (its
// own line reader does the cutting): LF or CRLF, a last line without a
// line end counts, empty lines are skipped, a short line is filled out
// with blanks and a longer one keeps its first 1251 characters.
#include <fcntl.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "bindings.h"
#include "chunk_cutter.h"
#include "cmg290/cmg290.h"
#include "fd_source.h"

namespace py = pybind11;

namespace cmg290::python {

namespace {

constexpr std::size_t kRecord = cmg290::kRecordLength;
constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

// Records laid end to end in one anonymous mapping, which grows by mremap
// (moved, not copied) and is handed to NumPy at the end. Huge pages, where
// the kernel grants them, spare most of the page faults of filling it.
class RecordBlock {
 public:
  explicit RecordBlock(std::size_t expected) { reserve(std::max<std::size_t>(expected, 64)); }
  ~RecordBlock() {
    if (data_ != nullptr) munmap(data_, mapped_);
  }

  char* append() {
    if (count_ == capacity_) reserve(capacity_ + capacity_ / 2);
    return data_ + kRecord * count_++;
  }
  std::size_t count() const { return count_; }
  std::size_t mapped() const { return mapped_; }
  // Gives up the mapping (mapped() bytes), which the caller must unmap.
  char* release() {
    char* p = data_;
    data_ = nullptr;
    return p;
  }

 private:
  void reserve(std::size_t records) {
    const std::size_t bytes = kRecord * records;
    void* p = data_ == nullptr
                  ? mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                  : mremap(data_, mapped_, bytes, MREMAP_MAYMOVE);
    if (p == MAP_FAILED) throw std::bad_alloc();
    madvise(p, bytes, MADV_HUGEPAGE);
    data_ = static_cast<char*>(p);
    mapped_ = bytes;
    capacity_ = records;
  }

  char* data_ = nullptr;
  std::size_t mapped_ = 0;
  std::size_t count_ = 0;
  std::size_t capacity_ = 0;
};

struct Mapping {
  void* data;
  std::size_t bytes;
};

struct FileCloser {
  int fd;
  ~FileCloser() { ::close(fd); }
};

// Reads the lines of an open file into `block`; returns 0 or an errno.
int read_lines(int fd, RecordBlock& block) {
  cli::FdSource source(fd);
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
  // As open() takes it: str, bytes or os.PathLike; a zero byte is a
  // ValueError, not the end of the name.
  PyObject* encoded = nullptr;
  if (PyUnicode_FSConverter(path.ptr(), &encoded) == 0) throw py::error_already_set();
  const std::string name = py::reinterpret_steal<py::bytes>(encoded);
  Mapping mapping{nullptr, 0};
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
      if (error == 0) {
        mapping.bytes = block.mapped();
        mapping.data = block.release();
      }
    }
  }
  if (error != 0) {
    errno = error;
    PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, path.ptr());
    throw py::error_already_set();
  }
  auto* owned = new Mapping(mapping);
  py::capsule owner(owned, [](void* p) {
    auto* m = static_cast<Mapping*>(p);
    munmap(m->data, m->bytes);
    delete m;
  });
  return py::array(py::dtype("S" + std::to_string(kRecord)),
                   std::vector<py::ssize_t>{static_cast<py::ssize_t>(count)},
                   std::vector<py::ssize_t>{static_cast<py::ssize_t>(kRecord)}, mapping.data,
                   owner);
}

}  // namespace

void bind_records(py::module_& m) {
  m.def("read_records", &read_records, py::arg("path"),
        "Reads a file of records; see cmg290.read_records.");
}

}  // namespace cmg290::python
