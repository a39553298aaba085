// Records as the command meets them: many distinct records, one after the
// other in one buffer, each seen once per pass, so that neither the caches
// nor the branch predictor have seen it before. The records come from the
// file named by CMG290_BENCH_RECORDS (one per line, as `cmg290 sample`
// writes them; bench/cli_bench.sh sets it), else from the built command's
// `sample` (kOwnRecords of them, seed 1), when the benchmark is built with
// it (CMG290_SAMPLE_COMMAND).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace cmg290::bench {

inline constexpr int kOwnRecords = 200000;

// Every byte a command writes to its standard output; empty if it fails.
inline std::string command_output(const std::string& command) {
  std::string out;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[1 << 16];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  return pclose(pipe) == 0 ? out : std::string();
}

inline std::string streamed_records() {
  if (const char* path = std::getenv("CMG290_BENCH_RECORDS")) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
#ifdef CMG290_SAMPLE_COMMAND
  return command_output("'" CMG290_SAMPLE_COMMAND "' sample --seed 1 --count " +
                        std::to_string(kOwnRecords));
#else
  return {};
#endif
}

// The records, read or made once for all runs, split into lines.
inline const std::vector<std::string_view>& streamed_lines() {
  static const std::string data = streamed_records();
  static const std::vector<std::string_view> records = [] {
    std::vector<std::string_view> out;
    for (std::size_t at = 0; at < data.size();) {
      std::size_t nl = data.find('\n', at);
      if (nl == std::string::npos) nl = data.size();
      out.emplace_back(data.data() + at, nl - at);
      at = nl + 1;
    }
    return out;
  }();
  return records;
}

}  // namespace cmg290::bench
