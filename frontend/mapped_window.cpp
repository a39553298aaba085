#include "mapped_window.h"

#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace cmg290::cli {

namespace {

// What the fault handler needs of the one arena there is; set before any
// window is mapped, cleared after the last is gone.
std::atomic<bool> gArenaTaken{false};
std::atomic<char*> gBase{nullptr};
std::atomic<std::size_t> gLength{0};
std::atomic<std::size_t> gWindowBytes{0};
std::atomic<std::size_t> gPageSize{0};
std::atomic<std::atomic<bool>*> gCutShort{nullptr};
std::atomic<int> gLineEnds{-1};  // a file of one page of '\n'
struct sigaction gPreviousAction;

static_assert(std::atomic<char*>::is_always_lock_free &&
                  std::atomic<std::size_t>::is_always_lock_free &&
                  std::atomic<std::atomic<bool>*>::is_always_lock_free &&
                  std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "the fault handler reads these, so they must not take a lock");

// mmap() as one system call, without the C library's wrapper.
long map_page(void* at, std::size_t length, int fd) {
#ifdef SYS_mmap2
  return syscall(SYS_mmap2, at, length, PROT_READ, MAP_SHARED | MAP_FIXED, fd, 0);
#else
  return syscall(SYS_mmap, at, length, PROT_READ, MAP_SHARED | MAP_FIXED, fd, 0);
#endif
}

void on_bus_error(int, siginfo_t* info, void*) {
  const int savedErrno = errno;  // the interrupted code's
  char* const base = gBase.load();
  char* const addr = static_cast<char*>(info->si_addr);
  // BUS_ADRERR: a read of a mapped page that its file no longer holds.
  if (info->si_code == BUS_ADRERR && base != nullptr && addr >= base &&
      addr < base + gLength.load()) {
    // A window's file ended before the page read: show a page of line ends
    // there instead, so that the read goes on and every line search ends.
    const std::size_t page = gPageSize.load();
    const std::size_t offset = static_cast<std::size_t>(addr - base);
    if (map_page(base + offset / page * page, page, gLineEnds.load()) != -1) {
      gCutShort.load()[offset / gWindowBytes.load()].store(true);
      errno = savedErrno;
      return;
    }
  }
  // Not a window, or no page to be had: hand the signal back to whoever
  // handled it before. A fault repeats as soon as this returns; a signal
  // sent by a program is sent again.
  sigaction(SIGBUS, &gPreviousAction, nullptr);
  if (info->si_code <= 0) raise(SIGBUS);
  errno = savedErrno;
}

// Turns the addresses of a window back into reserved, unreadable ones.
bool reserve(char* at, std::size_t bytes) {
  const int fixed = at == nullptr ? 0 : MAP_FIXED;
  void* const p =
      mmap(at, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | fixed, -1, 0);
  return p != MAP_FAILED;
}

}  // namespace

std::size_t WindowArena::page_size() {
  static const std::size_t size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  return size;
}

std::unique_ptr<WindowArena> WindowArena::create(std::size_t slots, std::size_t windowBytes) {
  const std::size_t page = page_size();
  windowBytes = (windowBytes + page - 1) / page * page;
  if (slots == 0 || windowBytes == 0 || gArenaTaken.exchange(true)) return nullptr;
  // The page of line ends the fault handler maps, made now: the handler
  // itself only maps it.
  const int lineEnds = memfd_create("line ends", MFD_CLOEXEC);
  const std::string lines(page, '\n');
  void* base = MAP_FAILED;
  if (lineEnds >= 0 && pwrite(lineEnds, lines.data(), page, 0) == static_cast<ssize_t>(page)) {
    base = mmap(nullptr, slots * windowBytes, PROT_NONE,
                MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  }
  if (base == MAP_FAILED) {
    if (lineEnds >= 0) close(lineEnds);
    gArenaTaken = false;
    return nullptr;
  }
  gLineEnds = lineEnds;
  std::unique_ptr<WindowArena> arena(new WindowArena(static_cast<char*>(base), slots, windowBytes));
  gPageSize = page;
  gWindowBytes = windowBytes;
  gCutShort = arena->cutShort_.get();
  gLength = slots * windowBytes;
  gBase = static_cast<char*>(base);

  struct sigaction action = {};
  action.sa_sigaction = on_bus_error;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  // The previous handler is known before ours can run.
  if (sigaction(SIGBUS, nullptr, &gPreviousAction) != 0 ||
      sigaction(SIGBUS, &action, nullptr) != 0) {
    return nullptr;  // the destructor undoes the rest
  }
  return arena;
}

WindowArena::WindowArena(char* base, std::size_t slots, std::size_t windowBytes)
    : base_(base),
      slots_(slots),
      windowBytes_(windowBytes),
      cutShort_(new std::atomic<bool>[slots]) {
  for (std::size_t i = 0; i < slots; ++i) cutShort_[i] = false;
}

WindowArena::~WindowArena() {
  // Nothing is mapped any more once the arena goes, so no fault can come
  // from it: the handler can be given back first.
  struct sigaction current;
  if (sigaction(SIGBUS, nullptr, &current) == 0 && (current.sa_flags & SA_SIGINFO) != 0 &&
      current.sa_sigaction == on_bus_error) {
    sigaction(SIGBUS, &gPreviousAction, nullptr);
  }
  gBase = nullptr;
  gLength = 0;
  gCutShort = nullptr;
  munmap(base_, slots_ * windowBytes_);
  close(gLineEnds.exchange(-1));
  gArenaTaken = false;
}

const char* WindowArena::map(std::size_t slot, int fd, std::uint64_t offset, std::size_t length) {
  if (slot >= slots_ || length > windowBytes_ || offset % page_size() != 0) {
    errno = EINVAL;  // it would map over whatever lies beyond the window
    return nullptr;
  }
  char* const at = base_ + slot * windowBytes_;
  cutShort_[slot] = false;
  void* const p =
      mmap(at, length, PROT_READ, MAP_SHARED | MAP_FIXED, fd, static_cast<off_t>(offset));
  if (p == MAP_FAILED) {
    const int err = errno;
    reserve(at, windowBytes_);
    errno = err;
    return nullptr;
  }
  return at;
}

void WindowArena::unmap(std::size_t slot) {
  reserve(base_ + slot * windowBytes_, windowBytes_);
}

bool WindowArena::cut_short(std::size_t slot) const {
  return cutShort_[slot].load();
}

}  // namespace cmg290::cli
