// Reading a large batch body straight from the connection's socket. The
// HTTP library reads bodies 4 KiB at a time, waiting on the socket before
// each read; for a body of a gigabyte that is most of the cost of a batch.
// Used only for plain HTTP with a Content-Length: TLS and chunked bodies go
// through the library.
#pragma once

#include <httplib.h>

#include <cstddef>
#include <cstdint>
#include <functional>

namespace cmg290::serve {

// The descriptor of the request's connection: the socket whose local and
// peer address and port are the request's. -1 when there is none.
int connection_socket(const httplib::Request& req);

// Reads exactly `length` bytes from the socket in large blocks and hands
// them to `take`. Each wait for data may last `timeoutMs`. Returns false
// when the connection ends or stalls first, or when `take` returns false.
bool read_socket_body(int fd, std::uint64_t length, int timeoutMs,
                      const std::function<bool(const char*, std::size_t)>& take);

}  // namespace cmg290::serve
