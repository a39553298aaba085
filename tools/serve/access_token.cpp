#include "access_token.h"

#include <openssl/crypto.h>
#include <openssl/sha.h>

#include <fstream>

namespace cmg290::serve {

namespace {

constexpr std::size_t kMinTokenLength = 16;

std::array<unsigned char, 32> sha256(std::string_view text) {
  std::array<unsigned char, 32> digest{};
  SHA256(reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest.data());
  return digest;
}

}  // namespace

bool AccessToken::load(const std::string& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  std::string token;
  if (!in || !std::getline(in, token)) {
    error = "cannot read the token file " + path;
    return false;
  }
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!token.empty() && blank(token.back())) token.pop_back();
  std::size_t start = 0;
  while (start < token.size() && blank(token[start])) ++start;
  token.erase(0, start);
  if (token.size() < kMinTokenLength) {
    error = "the token in " + path + " is shorter than " + std::to_string(kMinTokenLength) +
            " characters";
    return false;
  }
  for (char c : token) {
    if (c <= ' ' || c > '~') {
      error = "the token in " + path + " holds a blank, control or non-ASCII character";
      return false;
    }
  }
  digest_ = sha256(token);
  OPENSSL_cleanse(token.data(), token.size());
  enabled_ = true;
  return true;
}

bool AccessToken::accepts(std::string_view authorization) const {
  constexpr std::string_view kScheme = "Bearer ";
  if (authorization.size() <= kScheme.size()) return false;
  for (std::size_t i = 0; i < kScheme.size(); ++i) {
    const char c = authorization[i];
    const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    const char want = kScheme[i] >= 'A' && kScheme[i] <= 'Z'
                          ? static_cast<char>(kScheme[i] - 'A' + 'a')
                          : kScheme[i];
    if (lower != want) return false;
  }
  const std::array<unsigned char, 32> given = sha256(authorization.substr(kScheme.size()));
  return CRYPTO_memcmp(given.data(), digest_.data(), given.size()) == 0;
}

}  // namespace cmg290::serve
