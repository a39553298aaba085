#include "output_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include "exit_codes.h"

namespace cmg290::cli {

// A pending temporary file's name, linked into the list the signal handler
// walks.
struct PendingNode {
  char path[PATH_MAX + 1];
  std::atomic<PendingNode*> next{nullptr};
};

namespace {

// The pending temporary files, for the signal handler: a list linked
// through the outputs' own nodes. A node is filled in before it is linked
// and unlinked before it is freed, each while the handled signals are
// blocked, so the handler never sees half a name; the mutex keeps two
// threads from changing the list at once (the handler takes no lock).
std::atomic<PendingNode*> gPending{nullptr};
std::mutex gPendingMutex;

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Symbolic links followed from an output path before giving up, as the
// system does.
constexpr int kMaxLinkHops = 40;

// Written output is handed to the disk in steps of this many bytes.
constexpr unsigned long long kFlushStep = 8ull << 20;

extern "C" void remove_pending_and_die(int sig) {
  for (PendingNode* n = gPending.load(); n != nullptr; n = n->next.load()) unlink(n->path);
  signal(sig, SIG_DFL);
  raise(sig);
}

void link_pending(PendingNode* node) {
  std::lock_guard lock(gPendingMutex);
  node->next.store(gPending.load());
  gPending.store(node);
}

void unlink_pending(PendingNode* node) {
  std::lock_guard lock(gPendingMutex);
  for (std::atomic<PendingNode*>* at = &gPending; at->load() != nullptr; at = &at->load()->next) {
    if (at->load() == node) {
      at->store(node->next.load());
      return;
    }
  }
}

class SignalBlock {
 public:
  SignalBlock() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kCleanupSignals) sigaddset(&set, sig);
    pthread_sigmask(SIG_BLOCK, &set, &saved_);
  }
  ~SignalBlock() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }

 private:
  sigset_t saved_;
};

std::string dir_of(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string base_of(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// What an output path stands for once its symbolic links are followed: a
// descriptor of ours, or the path of the file to write.
struct Target {
  int descriptor = -1;
  std::string path;
  int error = 0;
};

// The descriptor that a path names by itself (/dev/stdout, /dev/stderr,
// /dev/fd/N, /proc/self/fd/N, /proc/PID/fd/N with our own PID), or -1.
int descriptor_named(const std::string& path) {
  if (path == "/dev/stdout") return STDOUT_FILENO;
  if (path == "/dev/stderr") return STDERR_FILENO;
  if (path == "/dev/stdin") return STDIN_FILENO;
  std::string rest;
  const std::string ownProc = "/proc/" + std::to_string(getpid()) + "/fd/";
  for (const std::string prefix :
       {"/dev/fd/", "/proc/self/fd/", "/proc/thread-self/fd/", ownProc.c_str()}) {
    if (path.compare(0, prefix.size(), prefix) == 0) {
      rest = path.substr(prefix.size());
      break;
    }
  }
  if (rest.empty() || rest.size() > 9) return -1;
  int fd = 0;
  for (const char c : rest) {
    if (c < '0' || c > '9') return -1;
    fd = fd * 10 + (c - '0');
  }
  return fd;
}

// Follows the symbolic links of the last part of `path` one at a time, so
// that a link to a descriptor is seen as one, and a link whose target does
// not exist yet leads to that target, which is then created.
Target resolve_target(std::string path) {
  Target t;
  for (int hops = 0;; ++hops) {
    t.descriptor = descriptor_named(path);
    if (t.descriptor >= 0) return t;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
    if (hops == kMaxLinkHops) {
      t.error = ELOOP;
      return t;
    }
    std::string link(PATH_MAX, '\0');
    const ssize_t n = readlink(path.c_str(), link.data(), link.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= link.size()) {
      t.error = n < 0 ? errno : n == 0 ? ENOENT : ENAMETOOLONG;
      return t;
    }
    link.resize(static_cast<std::size_t>(n));
    path = link.front() == '/' ? link : dir_of(path) + "/" + link;
  }
  t.path = std::move(path);
  return t;
}

unsigned default_file_mode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666u & ~static_cast<unsigned>(mask);
}

}  // namespace

std::size_t pending_output_count() {
  std::lock_guard lock(gPendingMutex);
  std::size_t n = 0;
  for (PendingNode* node = gPending.load(); node != nullptr; node = node->next.load()) ++n;
  return n;
}

void install_signal_handlers() {
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_handler = remove_pending_and_die;
  sigemptyset(&sa.sa_mask);
  for (int sig : kCleanupSignals) {
    struct sigaction old;
    // Leave a signal alone that was ignored when we started (nohup).
    if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    sigaction(sig, &sa, nullptr);
  }
}

OutputFile::OutputFile() = default;

OutputFile::~OutputFile() {
  abandon();
}

bool OutputFile::open(const std::string& path) {
  if (path.empty() || path == "-") {
    name_ = "standard output";
    fd_ = STDOUT_FILENO;
    return true;
  }
  name_ = path;

  const Target target = resolve_target(path);
  if (target.error != 0) {
    error_ = "cannot write " + name_ + ": " + std::strerror(target.error);
    return false;
  }
  if (target.descriptor >= 0) {
    // /dev/stdout, /dev/fd/N and the like name a descriptor we already
    // hold, whatever it was opened on: write to it as to standard output.
    // Resolved to a path, it would be a file renamed over, losing what the
    // shell meant to append to it.
    if (fcntl(target.descriptor, F_GETFL) < 0) {
      error_ = "cannot write " + name_ + ": " + std::strerror(EBADF);
      return false;
    }
    fd_ = target.descriptor;
    return true;
  }
  target_ = target.path;

  struct stat st;
  const bool exists = stat(target_.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) {
    error_ = "cannot write " + name_ + ": Is a directory";
    return false;
  }
  if (exists && !S_ISREG(st.st_mode)) {
    // A device, pipe or socket: there is no file to replace, write in place.
    fd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0) {
      const int err = errno;
      error_ = "cannot write " + name_ + ": " + std::strerror(err);
      return false;
    }
    ownsFd_ = true;
    return true;
  }

  mode_ = exists ? (st.st_mode & 07777) : default_file_mode();
  const std::string pattern = dir_of(target_) + "/." + base_of(target_) + ".XXXXXX";
  if (pattern.size() > PATH_MAX) {
    error_ = "cannot create " + name_ + ": File name too long";
    return false;
  }
  auto node = std::make_unique<PendingNode>();
  std::memcpy(node->path, pattern.c_str(), pattern.size() + 1);
  SignalBlock block;
  fd_ = mkostemp(node->path, O_CLOEXEC);
  if (fd_ < 0) {
    const int err = errno;
    error_ = "cannot create " + name_ + ": " + std::strerror(err);
    return false;
  }
  link_pending(node.get());
  pending_ = std::move(node);
  ownsFd_ = true;
  temporary_ = true;
  return true;
}

WriteStatus OutputFile::fail(const char* what, int err) {
  if (err == EPIPE) return status_ = WriteStatus::BrokenPipe;
  error_ = std::string("cannot ") + what + " " + name_ + ": " + std::strerror(err);
  return status_ = WriteStatus::Failed;
}

WriteStatus OutputFile::write(const char* data, std::size_t size) {
  if (status_ != WriteStatus::Ok) return status_;
  while (size > 0) {
    const ssize_t n = ::write(fd_, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail("write", errno);
    }
    data += n;
    size -= static_cast<std::size_t>(n);
    written_ += static_cast<unsigned long long>(n);
  }
  if (temporary_ && written_ - flushStarted_ >= kFlushStep) {
    // Start writing back what we have without waiting for it; errors show
    // up at the fsync in prepare().
    sync_file_range(fd_, static_cast<off_t>(flushStarted_),
                    static_cast<off_t>(written_ - flushStarted_), SYNC_FILE_RANGE_WRITE);
    flushStarted_ = written_;
  }
  return WriteStatus::Ok;
}

int OutputFile::finish(int done) {
  OutputFile* self = this;
  return finish_together({&self, 1}, done);
}

int finish_together(std::span<OutputFile* const> outputs, int done) {
  // Every output made ready first: until all are, none is renamed, and a
  // failure removes them all.
  for (OutputFile* out : outputs) {
    if (out != nullptr && out->status_ == WriteStatus::Ok) out->prepare();
  }
  const OutputFile* failed = nullptr;
  bool brokenPipe = false;
  for (OutputFile* out : outputs) {
    if (out == nullptr) continue;
    if (out->status_ == WriteStatus::Failed && failed == nullptr) failed = out;
    brokenPipe = brokenPipe || out->status_ == WriteStatus::BrokenPipe;
  }
  if (failed == nullptr && !brokenPipe) {
    for (OutputFile* out : outputs) {
      if (out == nullptr) continue;
      // A rename that fails after others succeeded leaves those in place:
      // two renames cannot be one step.
      if (out->publish() != WriteStatus::Ok) {
        failed = out;
        break;
      }
      out->committed_ = true;
    }
    if (failed == nullptr) return done;
  }
  std::string error = failed != nullptr ? failed->error_ : std::string();
  for (OutputFile* out : outputs) {
    if (out != nullptr && !out->committed_) out->abandon();
  }
  // Whoever read our output has all they wanted (`| head`).
  if (failed == nullptr) return kExitClean;
  return fatal(error);
}

WriteStatus OutputFile::prepare() {
  if (!temporary_) {
    if (ownsFd_) {
      const int fd = fd_;
      fd_ = -1;
      ownsFd_ = false;
      if (close(fd) != 0) return fail("write", errno);
    }
    return WriteStatus::Ok;
  }
  // The data must be on disk before the name points at it, or a crash could
  // leave a complete-looking but empty or truncated file.
  if (fchmod(fd_, mode_) != 0) return fail("write", errno);
  if (fsync(fd_) != 0) return fail("write", errno);
  const int fd = fd_;
  fd_ = -1;
  ownsFd_ = false;
  if (close(fd) != 0) return fail("write", errno);
  return WriteStatus::Ok;
}

WriteStatus OutputFile::publish() {
  if (!temporary_) return WriteStatus::Ok;
  SignalBlock block;
  if (rename(pending_->path, target_.c_str()) != 0) return fail("write", errno);
  unlink_pending(pending_.get());
  pending_.reset();
  temporary_ = false;
  return WriteStatus::Ok;
}

void OutputFile::abandon() {
  if (ownsFd_) {
    close(fd_);
    ownsFd_ = false;
  }
  fd_ = -1;
  if (temporary_) {
    SignalBlock block;
    unlink(pending_->path);
    unlink_pending(pending_.get());
    pending_.reset();
    temporary_ = false;
  }
}

}  // namespace cmg290::cli
