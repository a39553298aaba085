// The TLS handshakes in progress on one event loop, bounded: a handshake
// holds the connection's TLS state at its largest (its record buffers and
// key exchange), so only so many run at once; further connections wait
// their turn, in order, holding no TLS state meanwhile.
#pragma once

#include <utility>  // before Asio 1.74's awaitable.hpp, which uses std::exchange without it

#include <boost/asio/awaitable.hpp>
#include <boost/asio/steady_timer.hpp>

#include <chrono>
#include <deque>

namespace cmg290::serve {

// Touched only on its loop's thread.
class HandshakeGate {
 public:
  void set_slots(int slots) { free_ = slots; }
  // Waits for a slot until `deadline`; true with one, to be given back with
  // release().
  boost::asio::awaitable<bool> acquire(std::chrono::steady_clock::time_point deadline);
  void release();

 private:
  struct Waiter {
    Waiter(HandshakeGate& gate, boost::asio::steady_timer& timer) : gate(gate), timer(timer) {}
    ~Waiter();
    HandshakeGate& gate;
    boost::asio::steady_timer& timer;
    bool granted = false;
  };
  int free_ = 1;
  std::deque<Waiter*> waiting_;
};

// Holds a slot of the gate until it is destroyed.
class HandshakeSlot {
 public:
  explicit HandshakeSlot(HandshakeGate& gate) : gate_(&gate) {}
  ~HandshakeSlot() { give_back(); }
  HandshakeSlot(const HandshakeSlot&) = delete;
  HandshakeSlot& operator=(const HandshakeSlot&) = delete;
  void give_back() {
    if (gate_ != nullptr) gate_->release();
    gate_ = nullptr;
  }

 private:
  HandshakeGate* gate_;
};

}  // namespace cmg290::serve
