// cmg290 group FILE: groups a file of assessment records, one per line, and
// prints one result line per record.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

#include "cmg290/cmg290.h"

int main(int argc, char** argv) {
  if (argc != 3 || std::string_view(argv[1]) != "group") {
    std::cerr << "usage: cmg290 group FILE\n";
    return 2;
  }
  std::ifstream in(argv[2], std::ios::binary);
  if (!in) {
    std::cerr << "cmg290: cannot open " << argv[2] << "\n";
    return 2;
  }
  std::string line;
  long lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const cmg290::Result r = cmg290::group(line);
    std::printf("%ld %d %-5s %6s %2d %3d %s %s\n", lineNo, r.status, r.cmg, r.motorScore,
                r.cognitiveScore, r.age, r.tableVersion, r.grouperVersion);
  }
  return 0;
}
