// Python strings of texts that repeat down a column (a field, an edit's
// value or message), made once per distinct text, so that a column of a
// million rows holds a few thousand strings rather than a million. Texts
// past the first kLimit distinct ones of a length class (up to kLongest
// bytes, or longer) get a string of their own.
#pragma once

#include <Python.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace cmg290::python {

class ShortTexts {
 public:
  static constexpr std::size_t kLongest = 16;
  static constexpr std::size_t kLimit = 1 << 16;

  ShortTexts() = default;
  ShortTexts(const ShortTexts&) = delete;
  ShortTexts& operator=(const ShortTexts&) = delete;
  ~ShortTexts() {
    for (auto& [key, text] : texts_) Py_DECREF(text);
    for (auto& [key, text] : longTexts_) Py_DECREF(text);
  }

  // A new reference to the string of `bytes`, read as Latin-1; null with a
  // Python error set when it cannot be made.
  PyObject* get(std::string_view bytes) {
    if (bytes.size() > kLongest) return get_long(bytes);
    Key key{};
    std::memcpy(key.bytes, bytes.data(), bytes.size());
    key.length = static_cast<unsigned char>(bytes.size());
    const auto found = texts_.find(key);
    if (found != texts_.end()) {
      Py_INCREF(found->second);
      return found->second;
    }
    PyObject* text = latin1(bytes);
    if (text != nullptr && texts_.size() < kLimit) {
      texts_.emplace(key, text);
      Py_INCREF(text);
    }
    return text;
  }

 private:
  struct Key {
    char bytes[kLongest];
    unsigned char length;
    bool operator==(const Key& o) const {
      return length == o.length && std::memcmp(bytes, o.bytes, kLongest) == 0;
    }
  };
  struct Hash {
    std::size_t operator()(const Key& k) const noexcept {
      std::uint64_t a, b;
      std::memcpy(&a, k.bytes, 8);
      std::memcpy(&b, k.bytes + 8, 8);
      return std::hash<std::uint64_t>()(a * 0x9E3779B97F4A7C15ull ^ b ^ k.length);
    }
  };

  struct LongHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept {
      return std::hash<std::string_view>()(s);
    }
  };

  PyObject* get_long(std::string_view bytes) {
    const auto found = longTexts_.find(bytes);
    if (found != longTexts_.end()) {
      Py_INCREF(found->second);
      return found->second;
    }
    PyObject* text = latin1(bytes);
    if (text != nullptr && longTexts_.size() < kLimit) {
      longTexts_.emplace(std::string(bytes), text);
      Py_INCREF(text);
    }
    return text;
  }

  static PyObject* latin1(std::string_view bytes) {
    return PyUnicode_DecodeLatin1(bytes.data(), static_cast<Py_ssize_t>(bytes.size()), nullptr);
  }

  std::unordered_map<Key, PyObject*, Hash> texts_;
  std::unordered_map<std::string, PyObject*, LongHash, std::equal_to<>> longTexts_;
};

}  // namespace cmg290::python
