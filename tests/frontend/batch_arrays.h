// A batch's arrays owned by a test, and a sink that notes the rows it is
// handed.
#pragma once

#include <cstdint>
#include <vector>

#include "batch/group_batch.h"

namespace cmg290::test {

// A batch's arrays, owned; ints in 32 bits with -1 for missing, as a front
// end without masks has them.
struct Arrays {
  explicit Arrays(std::size_t n, bool masks = false)
      : status(n),
        cognitive(n),
        age(n),
        motor(n),
        description(n),
        cmg(n),
        tableVersion(n),
        grouperVersion(n),
        edits(n),
        cognitiveMissing(masks ? n : 0),
        ageMissing(masks ? n : 0) {}

  batch::BatchColumns columns() {
    batch::BatchColumns c;
    c.status = {status.data(), false};
    c.cognitiveScore = {cognitive.data(), false};
    c.age = {age.data(), false};
    c.motorScore = motor.data();
    c.description = description.data();
    c.cmg = cmg.data();
    c.tableVersion = tableVersion.data();
    c.grouperVersion = grouperVersion.data();
    c.edits = edits.data();
    c.missingInt = -1;
    c.missingReal = -1.5;
    if (!cognitiveMissing.empty()) {
      c.cognitiveMissing = reinterpret_cast<bool*>(cognitiveMissing.data());
      c.ageMissing = reinterpret_cast<bool*>(ageMissing.data());
    }
    return c;
  }

  bool operator==(const Arrays&) const = default;

  std::vector<std::int32_t> status, cognitive, age;
  std::vector<double> motor;
  std::vector<batch::TextKey> description, cmg, tableVersion, grouperVersion;
  std::vector<batch::EditKey> edits;
  std::vector<unsigned char> cognitiveMissing, ageMissing;
};

// Notes the rows handed over, in the order they come.
struct NotingSink : batch::RowSink {
  void rows(std::size_t begin, std::size_t end) noexcept override {
    for (std::size_t i = begin; i < end; ++i) seen.push_back(i);
  }
  std::vector<std::size_t> seen;
};

}  // namespace cmg290::test
