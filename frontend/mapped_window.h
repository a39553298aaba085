// Windows onto a regular input file, mapped into memory so that the
// grouping threads read the file's pages where the kernel already holds
// them, instead of a copy made by read().
//
// A mapped file that another program cuts short while it is being read
// would make a read past its new end fault (SIGBUS) and kill the run. The
// windows therefore live in one reserved range of addresses, and while an
// arena exists a fault inside that range is answered by putting a page of
// line ends in place of the missing one and marking the window: the read
// goes on over harmless bytes, and the run sees the mark and stops with an
// error. A fault anywhere else is left to kill the process as before.
//
// Why the fault handler is safe to run. A handler must not call what the
// code it interrupts may be in the middle of. The handler acts only on
// SIGBUS with BUS_ADRERR at an address inside the arena: a fault the
// kernel raises (no other process can send that code) in the thread that
// read past the end of a window's file, at that very read. The code it
// interrupts is therefore our own reading of a chunk's bytes (a line
// search, the grouper, the row writer), never a call that maps memory or a
// lock that the handler takes. The handler touches nothing but lock-free
// atomics and errno, which it restores, and makes one direct system call:
// it maps, read-only, a page of line ends prepared when the arena was
// made. A direct system call keeps no state in the process, and no library
// or sanitizer wrapping mmap() comes between. Faults on several threads at
// once each map their own page. Anything else goes to the previous
// handler through sigaction() and raise(), which are async-signal-safe.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace cmg290::cli {

class WindowArena {
 public:
  // Reserves `slots` windows, each able to show `windowBytes` bytes of a
  // file from any page-aligned offset. Returns nullptr (and the caller
  // reads with read() instead) when the addresses or the fault handler
  // cannot be had, or when another arena exists.
  static std::unique_ptr<WindowArena> create(std::size_t slots, std::size_t windowBytes);
  ~WindowArena();

  WindowArena(const WindowArena&) = delete;
  WindowArena& operator=(const WindowArena&) = delete;

  static std::size_t page_size();

  // The most bytes one window shows.
  std::size_t window_bytes() const { return windowBytes_; }

  // Shows bytes [offset, offset + length) of file `fd` in window `slot`,
  // replacing what it showed before. offset must be a multiple of
  // page_size() and length at most window_bytes(). Returns the window's
  // first byte, or nullptr with errno set.
  const char* map(std::size_t slot, int fd, std::uint64_t offset, std::size_t length);

  // Empties window `slot`.
  void unmap(std::size_t slot);

  // Whether a read in window `slot` found its file cut short since the
  // window was last mapped.
  bool cut_short(std::size_t slot) const;

 private:
  WindowArena(char* base, std::size_t slots, std::size_t windowBytes);

  char* base_;
  std::size_t slots_;
  std::size_t windowBytes_;
  std::unique_ptr<std::atomic<bool>[]> cutShort_;
};

}  // namespace cmg290::cli
