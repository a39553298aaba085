#include "page_policy.h"

#include <openssl/evp.h>
#include <openssl/sha.h>

#include <array>
#include <string>

#include "http_message.h"
#include "report/html_style.h"

namespace cmg290::serve {

namespace {

std::string make_policy() {
  const std::string_view style = cli::report::page_style();
  std::array<unsigned char, SHA256_DIGEST_LENGTH> digest{};
  SHA256(reinterpret_cast<const unsigned char*>(style.data()), style.size(), digest.data());
  std::array<unsigned char, 4 * ((SHA256_DIGEST_LENGTH + 2) / 3) + 1> base64{};
  const int n = EVP_EncodeBlock(base64.data(), digest.data(), SHA256_DIGEST_LENGTH);
  std::string policy(kPagePolicy);
  policy += "; style-src 'self' 'sha256-";
  policy.append(reinterpret_cast<const char*>(base64.data()), static_cast<std::size_t>(n));
  policy += "'";
  return policy;
}

}  // namespace

std::string_view page_policy() {
  static const std::string policy = make_policy();
  return policy;
}

}  // namespace cmg290::serve
