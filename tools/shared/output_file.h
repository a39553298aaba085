// Where a command writes its results: standard output, a device or pipe
// written in place, or a regular file that appears only once it is complete.
//
// A path that names a descriptor of ours (/dev/stdout, /dev/fd/N,
// /proc/self/fd/N, or a link to one of them) is that descriptor, written as
// standard output is. A symbolic link is followed to the file it points to,
// which is replaced, or created when it does not exist yet.
//
// A regular file (or a name that does not exist yet) is written to a
// temporary file in the same folder, flushed to disk and renamed over the
// target by finish(); a failed run or an interrupting signal removes the
// temporary file (any number of outputs may be pending at once, each with
// its own; finish_together() commits several only when all are complete), so a failed run never
// leaves a partial output behind and never clobbers an earlier complete one. Devices, pipes and
// sockets
// (/dev/null, /dev/full, a FIFO) cannot be renamed over and are written
// directly.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>

namespace cmg290::cli {

// How the output has gone so far.
struct PendingNode;  // a pending temporary file, for the signal handler

enum class WriteStatus {
  Ok,
  BrokenPipe,  // the reader of a pipe went away; the caller stops quietly
  Failed,      // error() holds a one-line message naming the output
};

class OutputFile;

// Ends the outputs of one run as one: when every write to every one of them
// went well, each is flushed to disk, and only then is each committed, so
// that a failure before the renames leaves none of them (and every earlier
// file as it was). Null entries are passed over. Returns as finish() does:
// `done`, kExitClean when a pipe's reader went away (none committed), or
// kExitFatal after reporting the first output's error.
int finish_together(std::span<OutputFile* const> outputs, int done);

class OutputFile {
 public:
  OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();  // abandons an uncommitted temporary file

  // Opens `path` for writing; an empty path or "-" is standard output.
  // Returns false with error() set when the output cannot be created.
  bool open(const std::string& path);

  // Writes all of `data`. Once a write has failed or found the pipe
  // closed, later writes do nothing and return the same status.
  WriteStatus write(const char* data, std::size_t size);
  WriteStatus write(const std::string& data) { return write(data.data(), data.size()); }

  // Ends a subcommand's output, in the same way for every subcommand: when
  // every write went well, commits the output and returns `done`; when the
  // reader of a pipe went away, removes the temporary file and returns
  // kExitClean without a word; when a write or the commit failed, removes
  // the temporary file, reports error() as "cmg290: ..." on standard error
  // and returns kExitFatal.
  int finish(int done);
  friend int finish_together(std::span<OutputFile* const> outputs, int done);

  WriteStatus status() const { return status_; }

  // Whether finish() made the output final.
  bool committed() const { return committed_; }

  // The descriptor written in place (standard output, a descriptor named by
  // the path, a device or pipe), or -1 while a temporary file is written.
  int direct_descriptor() const { return temporary_ ? -1 : fd_; }

  // The name to use in messages: the path given, or "standard output".
  const std::string& name() const { return name_; }
  const std::string& error() const { return error_; }

 private:
  // Makes the output ready to be final: flushes it to disk and closes it.
  WriteStatus prepare();
  // Renames the temporary file over the target.
  WriteStatus publish();
  // Removes the temporary file, if any. Safe to call more than once.
  void abandon();
  WriteStatus fail(const char* what, int err);

  int fd_ = -1;
  WriteStatus status_ = WriteStatus::Ok;
  bool committed_ = false;
  bool ownsFd_ = false;
  bool temporary_ = false;
  std::string name_;
  std::string target_;  // the file the temporary one replaces
  std::string error_;
  std::unique_ptr<PendingNode> pending_;  // the temporary file's name while it is pending
  unsigned mode_ = 0;                     // permissions the finished file gets
  // Bytes written, and how many of them have been handed to the disk ahead
  // of prepare(), so that its final flush has little left to wait for.
  unsigned long long written_ = 0;
  unsigned long long flushStarted_ = 0;
};

// The temporary output files pending now, those a signal would remove.
std::size_t pending_output_count();

// Ignores SIGPIPE (a closed pipe shows up as EPIPE instead) and SIGXFSZ (a
// file-size limit shows up as EFBIG), and installs the handlers that remove
// a pending temporary output file on SIGINT, SIGTERM and SIGHUP.
void install_signal_handlers();

}  // namespace cmg290::cli
