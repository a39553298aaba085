// What the JSON writers of the report and of a change's report share.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>

namespace cmg290::cli::report {

// A number of the figures, or null where there is none (no weights, no
// grouped record).
inline nlohmann::ordered_json optional_number(const std::optional<double>& v) {
  return v ? nlohmann::ordered_json(*v) : nlohmann::ordered_json(nullptr);
}

}  // namespace cmg290::cli::report
