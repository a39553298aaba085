// The address the server listens on, and whether it is reachable only from
// this machine.
#pragma once

#include <string>
#include <string_view>

namespace cmg290::serve {

struct ListenAddress {
  std::string host;  // as given, without the brackets of an IPv6 address
  int port = 0;      // 0: any free port
};

// Reads ADDRESS:PORT ("127.0.0.1:8290", "[::1]:8290", "localhost:8290",
// "0.0.0.0:443"). Returns false with a message for anything else.
bool parse_listen_address(std::string_view text, ListenAddress& address, std::string& error);

// True when every address the host stands for is a loopback address
// (127.0.0.0/8, ::1); names are looked up.
bool is_loopback_host(const std::string& host);

}  // namespace cmg290::serve
