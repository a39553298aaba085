#include "json_bytes.h"

namespace cmg290::pg {

namespace {

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The byte of an escape "\u00XY" at `at` when it is 0x80 or above, else -1.
int high_byte(const char* at) {
  if (at[0] != '\\' || at[1] != 'u' || at[2] != '0' || at[3] != '0') return -1;
  const int high = hex_digit(at[4]);
  const int low = high < 0 ? -1 : hex_digit(at[5]);
  if (low < 0 || high < 8) return -1;
  return high * 16 + low;
}

}  // namespace

void unescape_high_bytes(char* json) noexcept {
  char* to = json;
  for (const char* from = json; *from != '\0';) {
    if (*from != '\\') {
      *to++ = *from++;
      continue;
    }
    const int byte = high_byte(from);
    if (byte >= 0) {
      *to++ = static_cast<char>(byte);
      from += 6;
    } else {
      // Another escape: its backslash and the character after it stay
      // together, so that "\\u00e9" remains a backslash and "u00e9".
      *to++ = *from++;
      if (*from != '\0') *to++ = *from++;
    }
  }
  *to = '\0';
}

}  // namespace cmg290::pg
