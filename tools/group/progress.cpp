#include "progress.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>

#include "group_summary.h"

namespace cmg290::cli::batch {

namespace {

constexpr auto kProgressDelay = std::chrono::milliseconds(500);
constexpr auto kProgressInterval = std::chrono::milliseconds(200);

}  // namespace

void Progress::update(std::uint64_t bytes, std::uint64_t records) {
  if (!enabled_) return;
  const auto now = Clock::now();
  if (now - start_ < kProgressDelay || now - last_ < kProgressInterval) return;
  last_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  char line[160];
  int n;
  const double rate = static_cast<double>(records) / seconds;
  if (totalBytes_ > 0) {
    constexpr int kWidth = 30;
    const double part =
        std::min(1.0, static_cast<double>(bytes) / static_cast<double>(totalBytes_));
    char bar[kWidth + 1];
    const int filled = static_cast<int>(part * kWidth);
    for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : '.';
    bar[kWidth] = '\0';
    n = std::snprintf(line, sizeof line, "\r[%s] %3d%%  %s records  %s records/s ", bar,
                      static_cast<int>(part * 100), with_commas(records).c_str(),
                      with_commas(static_cast<std::uint64_t>(rate)).c_str());
  } else {
    n = std::snprintf(line, sizeof line, "\r%s records  %s records/s ",
                      with_commas(records).c_str(),
                      with_commas(static_cast<std::uint64_t>(rate)).c_str());
  }
  if (n > 0) std::fwrite(line, 1, std::min<std::size_t>(n, sizeof line - 1), stderr);
  shown_ = true;
}

void Progress::clear() {
  if (!shown_) return;
  std::fputs("\r\033[K", stderr);
  shown_ = false;
}

}  // namespace cmg290::cli::batch
