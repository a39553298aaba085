#include "listen_address.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <charconv>
#include <cstring>

namespace cmg290::serve {

bool parse_listen_address(std::string_view text, ListenAddress& address, std::string& error) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos || colon == 0) {
    error = "--listen takes ADDRESS:PORT, for example 127.0.0.1:8290";
    return false;
  }
  std::string_view host = text.substr(0, colon);
  const std::string_view port = text.substr(colon + 1);
  if (host.front() == '[') {
    if (host.size() < 3 || host.back() != ']') {
      error = "--listen: an IPv6 address goes in brackets, for example [::1]:8290";
      return false;
    }
    host = host.substr(1, host.size() - 2);
  } else if (host.find(':') != std::string_view::npos) {
    error = "--listen: an IPv6 address goes in brackets, for example [::1]:8290";
    return false;
  }
  int value = -1;
  const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
  if (port.empty() || ec != std::errc() || end != port.data() + port.size() || value < 0 ||
      value > 65535) {
    error = "--listen: the port must be a number from 0 to 65535";
    return false;
  }
  address.host = std::string(host);
  address.port = value;
  return true;
}

bool is_loopback_host(const std::string& host) {
  addrinfo hints;
  std::memset(&hints, 0, sizeof hints);
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || list == nullptr) return false;
  bool loopback = true;
  for (const addrinfo* a = list; a != nullptr; a = a->ai_next) {
    if (a->ai_family == AF_INET) {
      const auto* in = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
      loopback = loopback && (ntohl(in->sin_addr.s_addr) >> 24) == 127;
    } else if (a->ai_family == AF_INET6) {
      const auto* in6 = reinterpret_cast<const sockaddr_in6*>(a->ai_addr);
      loopback = loopback && IN6_IS_ADDR_LOOPBACK(&in6->sin6_addr);
    } else {
      loopback = false;
    }
  }
  freeaddrinfo(list);
  return loopback;
}

}  // namespace cmg290::serve
