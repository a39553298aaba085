// Builds fixed-position assessment records for tests: every position blank
// except the fields that are set by name.
#pragma once

#include <cassert>
#include <string>
#include <string_view>

namespace cmg290::test {

class RecordBuilder {
 public:
  static constexpr std::size_t kLength = 1251;

  RecordBuilder() : rec_(kLength, ' ') {}

  // A record that groups with status 0: IRF-PAI, dated for 2.90, born
  // 1950-03-10, age taken 2020-03-10 (age 70), stroke "01.1" (RIC 01),
  // every motor and cognitive item "04", no comorbid codes.
  static RecordBuilder valid() {
    RecordBuilder b;
    b.id("IRF-PAI").versionDate("20200315").birthDate("19500310").ageDate("20200310");
    b.impairment("  01.1");
    for (int k = 1; k <= 12; ++k) b.motor(k, "04");
    for (int k = 1; k <= 5; ++k) b.cognitive(k, "04");
    return b;
  }

  RecordBuilder& id(std::string_view v) { return put(1, 10, v); }
  RecordBuilder& kind(std::string_view v) { return put(11, 1, v); }
  RecordBuilder& birthDate(std::string_view v) { return put(657, 8, v); }
  RecordBuilder& ageDate(std::string_view v) { return put(688, 8, v); }
  // The whole nine-character field; the key is its characters 3 to 9.
  RecordBuilder& impairment(std::string_view v) { return put(720, 9, v); }
  RecordBuilder& versionDate(std::string_view v) { return put(996, 8, v); }

  // Comorbid slot k (1 to 25), eight characters.
  RecordBuilder& comorbid(int k, std::string_view v) {
    assert(k >= 1 && k <= 25);
    return put(k <= 10 ? 754 + 8 * (k - 1) : 1132 + 8 * (k - 11), 8, v);
  }
  // Motor item k (1 to 12), two characters.
  RecordBuilder& motor(int k, std::string_view v) {
    static constexpr int kStart[] = {882, 888, 894, 900, 906, 912, 918, 924, 930, 936, 948, 956};
    assert(k >= 1 && k <= 12);
    return put(kStart[k - 1], 2, v);
  }
  RecordBuilder& allMotor(std::string_view v) {
    for (int k = 1; k <= 12; ++k) motor(k, v);
    return *this;
  }
  // Cognitive item k (1 to 5), two characters.
  RecordBuilder& cognitive(int k, std::string_view v) {
    static constexpr int kStart[] = {962, 970, 978, 984, 990};
    assert(k >= 1 && k <= 5);
    return put(kStart[k - 1], 2, v);
  }
  RecordBuilder& allCognitive(std::string_view v) {
    for (int k = 1; k <= 5; ++k) cognitive(k, v);
    return *this;
  }
  // Any characters at a 1-based position.
  RecordBuilder& at(int position, std::string_view v) {
    rec_.replace(position - 1, v.size(), v);
    return *this;
  }

  const std::string& str() const { return rec_; }
  operator const std::string&() const { return rec_; }

 private:
  // Writes v left-aligned into the field, blank-filled to its length.
  RecordBuilder& put(int start, int length, std::string_view v) {
    assert(v.size() <= static_cast<std::size_t>(length));
    std::string field(v);
    field.resize(length, ' ');
    rec_.replace(start - 1, length, field);
    return *this;
  }

  std::string rec_;
};

// A record that groups cleanly, to be changed field by field.
inline RecordBuilder valid() {
  return RecordBuilder::valid();
}

}  // namespace cmg290::test
