// The bundled sample records (examples/assessments.txt), one per line, for
// tests built with CMG290_SOURCE_DIR.
#pragma once

#include <fstream>
#include <string>
#include <vector>

namespace cmg290::test {

inline std::vector<std::string> sample_records() {
  std::ifstream in(std::string(CMG290_SOURCE_DIR) + "/examples/assessments.txt", std::ios::binary);
  std::vector<std::string> records;
  for (std::string line; std::getline(in, line);) records.push_back(line);
  return records;
}

}  // namespace cmg290::test
