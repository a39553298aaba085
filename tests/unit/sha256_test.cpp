// The SHA-256 behind the digests of tier-table sets, against known vectors.
#include <gtest/gtest.h>

#include <string>

#include "tiersets/sha256.h"

namespace cmg290::tiersets {
namespace {

TEST(Sha256, KnownVectors) {
  EXPECT_EQ(sha256_hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(sha256_hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  // 56 bytes: the length no longer fits the first block.
  EXPECT_EQ(sha256_hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(sha256_hex(std::string(1000000, 'a')),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  // 55 and 64 bytes: the padding's edges.
  EXPECT_EQ(sha256_hex(std::string(55, 'a')),
            "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
  EXPECT_EQ(sha256_hex(std::string(64, 'a')),
            "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb");
}

TEST(Sha256, PiecesGiveTheDigestOfTheWhole) {
  std::string text;
  for (int i = 0; i < 1000; ++i) text += static_cast<char>(i * 7);
  const std::string whole = sha256_hex(text);
  for (const std::size_t piece : {1u, 3u, 63u, 64u, 65u, 200u}) {
    Sha256 s;
    for (std::size_t at = 0; at < text.size(); at += piece) s.update(text.substr(at, piece));
    EXPECT_EQ(hex(s.finish()), whole) << "pieces of " << piece;
  }
}

}  // namespace
}  // namespace cmg290::tiersets
