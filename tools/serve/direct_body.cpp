#include "direct_body.h"

#include <dirent.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

namespace cmg290::serve {

namespace {

constexpr std::size_t kBlock = 256 * 1024;

// The numeric host and the port of a socket address, as the HTTP library
// writes them into the request.
bool host_and_port(const sockaddr_storage& address, socklen_t size, std::string& host, int& port) {
  char name[NI_MAXHOST];
  char service[NI_MAXSERV];
  if (getnameinfo(reinterpret_cast<const sockaddr*>(&address), size, name, sizeof name, service,
                  sizeof service, NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
    return false;
  }
  host = name;
  port = std::atoi(service);
  return true;
}

bool is_connection(int fd, const httplib::Request& req) {
  sockaddr_storage local{}, peer{};
  socklen_t localSize = sizeof local, peerSize = sizeof peer;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localSize) != 0 ||
      getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) != 0) {
    return false;
  }
  std::string localHost, peerHost;
  int localPort = 0, peerPort = 0;
  return host_and_port(local, localSize, localHost, localPort) &&
         host_and_port(peer, peerSize, peerHost, peerPort) && localPort == req.local_port &&
         peerPort == req.remote_port && localHost == req.local_addr && peerHost == req.remote_addr;
}

}  // namespace

int connection_socket(const httplib::Request& req) {
  if (req.remote_port <= 0 || req.local_port <= 0) return -1;
  DIR* dir = opendir("/proc/self/fd");
  if (dir == nullptr) return -1;
  int found = -1;
  while (const dirent* entry = readdir(dir)) {
    char* end = nullptr;
    const long fd = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0' || fd == dirfd(dir)) continue;
    if (is_connection(static_cast<int>(fd), req)) {
      found = static_cast<int>(fd);
      break;
    }
  }
  closedir(dir);
  return found;
}

bool read_socket_body(int fd, std::uint64_t length, int timeoutMs,
                      const std::function<bool(const char*, std::size_t)>& take) {
  thread_local std::vector<char> block(kBlock);
  while (length > 0) {
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, timeoutMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    const std::size_t want =
        length < block.size() ? static_cast<std::size_t>(length) : block.size();
    const ssize_t n = ::read(fd, block.data(), want);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return false;
    length -= static_cast<std::uint64_t>(n);
    if (!take(block.data(), static_cast<std::size_t>(n))) return false;
  }
  return true;
}

}  // namespace cmg290::serve
