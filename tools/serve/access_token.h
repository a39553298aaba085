// Bearer-token authentication: the token comes from a file, and a request's
// Authorization header is compared with it in constant time.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace cmg290::serve {

class AccessToken {
 public:
  // Reads the token: the file's first line, without its line end and
  // surrounding blanks; at least 16 characters, all printable ASCII. False
  // with a message (which never quotes the file) otherwise.
  bool load(const std::string& path, std::string& error);

  bool enabled() const { return enabled_; }

  // True when the header value is "Bearer TOKEN" with the loaded token.
  // The comparison takes the same time wherever the texts differ, and does
  // not depend on the token's length.
  bool accepts(std::string_view authorization) const;

 private:
  bool enabled_ = false;
  std::array<unsigned char, 32> digest_{};  // SHA-256 of the token
};

}  // namespace cmg290::serve
