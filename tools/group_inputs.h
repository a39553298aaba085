// The inputs of `cmg290 group`: files named on the command line, or
// standard input.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace cmg290::cli::batch {

struct Input {
  std::string name;  // for messages
  int fd = -1;
  bool owned = false;
  bool regular = false;
  std::uint64_t size = 0;
  dev_t device = 0;
  ino_t inode = 0;

  ~Input() {
    if (owned) close(fd);
  }
};

// Opens every name ("-" is standard input) into inputs. False with a message
// in error when one cannot be opened or read, or is a directory.
bool open_inputs(const std::vector<std::string>& names, std::vector<std::unique_ptr<Input>>& inputs,
                 std::string& error);

}  // namespace cmg290::cli::batch
