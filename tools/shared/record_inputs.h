// The record files a run of `cmg290 group`, `compare` or `explain` reads:
// files named on the command line, or standard input, each plain or
// gzip-compressed (gzip_source.h).
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "output_file.h"

namespace cmg290::cli::batch {

struct Input {
  std::string name;  // for messages
  int fd = -1;
  bool owned = false;
  bool regular = false;
  bool gzip = false;  // a regular file that starts with the gzip magic bytes; other
                      // inputs are sniffed as they are read
  std::uint64_t size = 0;
  dev_t device = 0;
  ino_t inode = 0;

  ~Input() {
    if (owned) close(fd);
  }
};

// Why a run stops when a file shrinks under it while it is read.
inline constexpr const char* kCutShortMessage = "the file was cut short while it was being read";

// Whether a regular input is now shorter than it was when opened: once
// read to its end, it was cut short while it was being read, and what was
// read of it is not the file.
bool shrunk(const Input& in);

// Opens every name ("-" is standard input) into inputs. False with a message
// in error when one cannot be opened or read, or is a directory.
bool open_inputs(const std::vector<std::string>& names, std::vector<std::unique_ptr<Input>>& inputs,
                 std::string& error);

// Output written in place to one of the inputs (`>> in.txt`, or
// `-o /dev/fd/3 3>> in.txt`) would have a run read its own results without
// end. Returns the message that refuses such a run, or "" when the output
// is none of the inputs. A file named with -o is safe: it is replaced only
// at the end.
std::string output_is_input(const std::vector<std::unique_ptr<Input>>& inputs,
                            const OutputFile& output);

}  // namespace cmg290::cli::batch
