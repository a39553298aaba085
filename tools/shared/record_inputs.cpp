#include "record_inputs.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "gzip_source.h"

namespace cmg290::cli::batch {

bool open_inputs(const std::vector<std::string>& names, std::vector<std::unique_ptr<Input>>& inputs,
                 std::string& error) {
  for (const std::string& name : names) {
    auto in = std::make_unique<Input>();
    if (name == "-") {
      in->name = "standard input";
      in->fd = STDIN_FILENO;
    } else {
      in->name = name;
      in->fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
      if (in->fd < 0) {
        const int err = errno;
        error = "cannot open " + name + ": " + std::strerror(err);
        return false;
      }
      in->owned = true;
    }
    struct stat st;
    if (fstat(in->fd, &st) != 0) {
      const int err = errno;
      error = "cannot read " + in->name + ": " + std::strerror(err);
      return false;
    }
    if (S_ISDIR(st.st_mode)) {
      error = "cannot read " + in->name + ": Is a directory";
      return false;
    }
    if (S_ISREG(st.st_mode)) {
      in->regular = true;
      in->device = st.st_dev;
      in->inode = st.st_ino;
      in->size = static_cast<std::uint64_t>(st.st_size);
      posix_fadvise(in->fd, 0, 0, POSIX_FADV_SEQUENTIAL);
      // From where reading starts: standard input may be a file read part way.
      const off_t start = lseek(in->fd, 0, SEEK_CUR);
      unsigned char head[2];
      in->gzip = start >= 0 && pread(in->fd, head, sizeof head, start) == sizeof head &&
                 GzipSource::magic(head, sizeof head);
    }
    inputs.push_back(std::move(in));
  }
  return true;
}

bool shrunk(const Input& in) {
  struct stat st;
  return in.regular && fstat(in.fd, &st) == 0 && static_cast<std::uint64_t>(st.st_size) < in.size;
}

std::string output_is_input(const std::vector<std::unique_ptr<Input>>& inputs,
                            const OutputFile& output) {
  struct stat st;
  const int fd = output.direct_descriptor();
  if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return {};
  for (const auto& in : inputs) {
    if (in->regular && in->device == st.st_dev && in->inode == st.st_ino) {
      const bool standardOutput = fd == STDOUT_FILENO && output.name() == "standard output";
      return "input " + in->name + " is also " + (standardOutput ? "" : "the output ") +
             output.name();
    }
  }
  return {};
}

}  // namespace cmg290::cli::batch
