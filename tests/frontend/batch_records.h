// Records for the batch engine's tests: the bundled samples, and variants
// of them that end early or hold junk over a stretch of fields (other
// statuses, and one to two dozen edits).
#pragma once

#include <string>
#include <vector>

#include "sample_records.h"

namespace cmg290::test {

// Bytes 500 to 899 of a sample made junk: more edits than an edit key holds.
inline std::string many_edits_record() {
  std::string r = sample_records().front();
  r.replace(500, 400, 400, 'X');
  return r;
}

inline std::vector<std::string> batch_records(std::size_t count) {
  const std::vector<std::string> samples = sample_records();
  std::vector<std::string> out;
  out.reserve(count);
  for (std::size_t k = 0; k < count; ++k) {
    std::string r = samples[k % samples.size()];
    switch ((k / samples.size()) % 5) {
      case 1:
        r.replace(500, 400, 400, 'X');
        break;
      case 2:
        r.replace(400, 400, 400, 'X');
        break;
      case 3:
        r.resize(600);
        break;
      case 4:
        r.replace(1100, r.size() - 1100, r.size() - 1100, 'X');
        break;
      default:
        break;
    }
    out.push_back(std::move(r));
  }
  return out;
}

}  // namespace cmg290::test
