// A program that uses the installed grouper as any other project would:
// groups a file of records, one per line, and prints the results as CSV in
// the layout of `cmg290 group`.
#include <cmg290/cmg290.h>

#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

namespace {

// A text of the result without its blanks ("     " gives "").
std::string_view trimmed(const char* text) {
  std::string_view s(text);
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

std::string csv(std::string_view s) {
  if (s.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(s);
  std::string out = "\"";
  for (const char c : s) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: group_records FILE\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::cerr << "group_records: cannot open " << argv[1] << "\n";
    return 2;
  }
  std::cout << "line,status,description,cmg,motor_score,cognitive_score,age,table_version,"
               "grouper_version\n";
  std::string line;
  for (long number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const cmg290::Result r = cmg290::group(line);
    const bool grouped = r.status == 0;
    const bool aged = grouped || r.status == 7 || r.status == 9;
    std::cout << number << ',' << r.status << ',' << csv(cmg290::status_text(r.status)) << ',';
    if (grouped) {
      std::cout << trimmed(r.cmg) << ',' << trimmed(r.motorScore) << ',' << r.cognitiveScore;
    } else {
      std::cout << ",,";
    }
    std::cout << ',';
    if (aged) std::cout << r.age;
    std::cout << ',' << trimmed(r.tableVersion) << ',' << trimmed(r.grouperVersion) << '\n';
  }
  return 0;
}
