#include "output_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace cmg290::cli {

namespace {

// The pending temporary file, for the signal handler. Written only while
// the handled signals are blocked, so the handler never sees half a name.
char gPendingPath[PATH_MAX + 1];
volatile sig_atomic_t gPending = 0;

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Written output is handed to the disk in steps of this many bytes.
constexpr unsigned long long kFlushStep = 8ull << 20;

extern "C" void remove_pending_and_die(int sig) {
  if (gPending) unlink(gPendingPath);
  signal(sig, SIG_DFL);
  raise(sig);
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

unsigned default_file_mode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666u & ~static_cast<unsigned>(mask);
}

}  // namespace

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
  target_ = path;

  struct stat st;
  if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    // Replace the file the link points to, not the link itself.
    if (char* resolved = realpath(path.c_str(), nullptr)) {
      target_ = resolved;
      std::free(resolved);
    }
  }
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
  SignalBlock block;
  std::memcpy(gPendingPath, pattern.c_str(), pattern.size() + 1);
  fd_ = mkostemp(gPendingPath, O_CLOEXEC);
  if (fd_ < 0) {
    const int err = errno;
    error_ = "cannot create " + name_ + ": " + std::strerror(err);
    return false;
  }
  gPending = 1;
  ownsFd_ = true;
  temporary_ = true;
  return true;
}

WriteStatus OutputFile::fail(const char* what, int err) {
  if (err == EPIPE) return WriteStatus::BrokenPipe;
  error_ = std::string("cannot ") + what + " " + name_ + ": " + std::strerror(err);
  return WriteStatus::Failed;
}

WriteStatus OutputFile::write(const char* data, std::size_t size) {
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
    // up at the fsync in commit().
    sync_file_range(fd_, static_cast<off_t>(flushStarted_),
                    static_cast<off_t>(written_ - flushStarted_), SYNC_FILE_RANGE_WRITE);
    flushStarted_ = written_;
  }
  return WriteStatus::Ok;
}

WriteStatus OutputFile::commit() {
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
  SignalBlock block;
  if (rename(gPendingPath, target_.c_str()) != 0) return fail("write", errno);
  gPending = 0;
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
    unlink(gPendingPath);
    gPending = 0;
    temporary_ = false;
  }
}

}  // namespace cmg290::cli
