// Loaded into the cmg290 tool with LD_PRELOAD by the tests of what the tool
// does when memory runs out on one of its threads. It makes exactly one
// operator new throw std::bad_alloc, chosen by CMG290_FAIL_ALLOC:
//   "thread"     the first allocation on any thread but the main one;
//   "main:N"     the first allocation on the main thread once N threads
//                have been started.
// Every other allocation is served by malloc.
#include <dlfcn.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

std::atomic<int> gThreadsStarted{0};
std::atomic<bool> gFailed{false};

bool on_main_thread() {
  return syscall(SYS_gettid) == getpid();
}

bool should_fail() {
  static const char* const mode = std::getenv("CMG290_FAIL_ALLOC");
  if (mode == nullptr || gFailed.load()) return false;
  bool hit = false;
  if (std::strcmp(mode, "thread") == 0) {
    hit = !on_main_thread();
  } else if (std::strncmp(mode, "main:", 5) == 0) {
    hit = on_main_thread() && gThreadsStarted.load() >= std::atoi(mode + 5);
  }
  return hit && !gFailed.exchange(true);
}

void* allocate(std::size_t n) {
  if (should_fail()) throw std::bad_alloc();
  void* p = std::malloc(n == 0 ? 1 : n);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

}  // namespace

void* operator new(std::size_t n) {
  return allocate(n);
}
void* operator new[](std::size_t n) {
  return allocate(n);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*),
                              void* arg) {
  using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
  static const auto real = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
  const int rc = real(thread, attr, start, arg);
  if (rc == 0) ++gThreadsStarted;
  return rc;
}
