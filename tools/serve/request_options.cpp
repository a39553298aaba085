#include "request_options.h"

#include <string>

namespace cmg290::serve {

namespace {

// The longest name or value worth decoding: longer ones are none we take.
constexpr std::size_t kLongestWord = 16;

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// `text` percent-decoded ('+' is a blank, as forms write it) and in lower
// case; false when an escape is malformed or the text is too long to be a
// word we take.
bool decode_word(std::string_view text, std::string& out) {
  out.clear();
  for (std::size_t k = 0; k < text.size(); ++k) {
    char c = text[k];
    if (c == '%') {
      if (k + 2 >= text.size()) return false;
      const int high = hex_digit(text[k + 1]);
      const int low = hex_digit(text[k + 2]);
      if (high < 0 || low < 0) return false;
      c = static_cast<char>(high * 16 + low);
      k += 2;
    } else if (c == '+') {
      c = ' ';
    }
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    out += c;
    if (out.size() > kLongestWord) return false;
  }
  return true;
}

BodyError bad_option(std::string message, std::string_view field = {}) {
  return {"bad_option", std::move(message), std::string(field)};
}

}  // namespace

bool read_options(std::string_view query, RequestOptions& options, BodyError& error) {
  bool seenEdits = false;
  std::string name;
  std::string value;
  while (!query.empty()) {
    const std::size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    if (pair.empty()) continue;
    const std::size_t eq = pair.find('=');
    const std::string_view rawName = pair.substr(0, eq);
    // Other parameters are passed over, as before the server took any
    // (clients add their own, cache busters say); an answer asked for with
    // a misspelt option lacks the member, so the slip shows.
    if (!decode_word(rawName, name) || name != "edits") continue;
    if (seenEdits) {
      error = bad_option("edits given more than once", "edits");
      return false;
    }
    seenEdits = true;
    const bool valued = eq != std::string_view::npos && decode_word(pair.substr(eq + 1), value);
    if (valued && (value == "true" || value == "1")) {
      options.edits = true;
    } else if (valued && (value == "false" || value == "0")) {
      options.edits = false;
    } else {
      error = bad_option("edits must be true or false", "edits");
      return false;
    }
  }
  return true;
}

}  // namespace cmg290::serve
