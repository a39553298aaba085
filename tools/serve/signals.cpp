#include "signals.h"

#include <pthread.h>

#include <cstdio>

namespace cmg290::serve {

namespace {

void add_passed_over(sigset_t& set) {
  sigaddset(&set, SIGUSR1);
  sigaddset(&set, SIGUSR2);
}

}  // namespace

void hold_signals_while_starting() {
  sigset_t held;
  sigemptyset(&held);
  sigaddset(&held, SIGHUP);
  add_passed_over(held);
  pthread_sigmask(SIG_BLOCK, &held, nullptr);
}

sigset_t stop_signals() {
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  return stop;
}

sigset_t block_served_signals() {
  sigset_t served = stop_signals();
  sigaddset(&served, SIGHUP);
  add_passed_over(served);
  pthread_sigmask(SIG_BLOCK, &served, nullptr);
  signal(SIGPIPE, SIG_IGN);
  return served;
}

int next_signal(const sigset_t& signals) {
  for (;;) {
    int sig = 0;
    if (sigwait(&signals, &sig) != 0) return 0;
    if (sig != SIGUSR1 && sig != SIGUSR2) return sig;
    std::fprintf(stderr, "cmg290 serve: %s: passed over (SIGTERM stops, SIGHUP reloads)\n",
                 sig == SIGUSR1 ? "SIGUSR1" : "SIGUSR2");
    std::fflush(stderr);
  }
}

}  // namespace cmg290::serve
