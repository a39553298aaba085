#include "figures.h"

namespace cmg290::cli::report {

namespace {

// A value in the scale's units as shown: "5", "7.5".
std::string shown(int value, int tenths) {
  if (tenths == 1) return std::to_string(value);
  std::string s = std::to_string(value / 10);
  if (value % 10 != 0) s += "." + std::to_string(value % 10);
  return s;
}

}  // namespace

std::string BinScale::label(int bin) const {
  if (bin <= 0) return "<" + shown(low, tenths);
  const int from = low + (bin - 1) * width;
  if (bin >= bins - 1) return "\u2265" + shown(from, tenths);
  // The last value of the bin: one unit (a tenth, or one) below the next.
  return shown(from, tenths) + "\u2013" + shown(from + width - 1, tenths);
}

std::optional<double> Weighted::case_mix_index() const {
  if (weighted == 0) return std::nullopt;
  return static_cast<double>(weightMicros) / 1e6 / static_cast<double>(weighted);
}

std::optional<double> Weighted::mean_days() const {
  if (losRecords == 0) return std::nullopt;
  return static_cast<double>(losMicros) / 1e6 / static_cast<double>(losRecords);
}

}  // namespace cmg290::cli::report
