#include "batch/part_rows.h"

#include <algorithm>

namespace cmg290::batch {

void PartRows::make(std::size_t rows, bool edits, cli::IdRange id) {
  status_.reset(new std::int32_t[rows]);
  cognitive_.reset(new std::int32_t[rows]);
  age_.reset(new std::int32_t[rows]);
  motor_.reset(new double[rows]);
  cognitiveMissing_.reset(new bool[rows]);
  ageMissing_.reset(new bool[rows]);
  description_.reset(new TextKey[rows]);
  cmg_.reset(new TextKey[rows]);
  tableVersion_.reset(new TextKey[rows]);
  grouperVersion_.reset(new TextKey[rows]);
  tier_.reset(new TextKey[rows]);
  ric_.reset(new TextKey[rows]);
  idRange_ = id;
  id_.reset(id.length > 0 ? new char[rows * id.length] : nullptr);
  edits_.reset(edits ? new EditKey[rows] : nullptr);
  line_.reset(new std::int64_t[rows]);
}

void PartRows::take(const PartRows& from, std::size_t n) {
  make(n, from.edits_ != nullptr, from.idRange_);
  std::copy_n(from.status_.get(), n, status_.get());
  std::copy_n(from.cognitive_.get(), n, cognitive_.get());
  std::copy_n(from.age_.get(), n, age_.get());
  std::copy_n(from.motor_.get(), n, motor_.get());
  std::copy_n(from.cognitiveMissing_.get(), n, cognitiveMissing_.get());
  std::copy_n(from.ageMissing_.get(), n, ageMissing_.get());
  std::copy_n(from.description_.get(), n, description_.get());
  std::copy_n(from.cmg_.get(), n, cmg_.get());
  std::copy_n(from.tableVersion_.get(), n, tableVersion_.get());
  std::copy_n(from.grouperVersion_.get(), n, grouperVersion_.get());
  std::copy_n(from.tier_.get(), n, tier_.get());
  std::copy_n(from.ric_.get(), n, ric_.get());
  if (id_ != nullptr) std::copy_n(from.id_.get(), n * idRange_.length, id_.get());
  if (edits_ != nullptr) std::copy_n(from.edits_.get(), n, edits_.get());
  std::copy_n(from.line_.get(), n, line_.get());
}

BatchColumns PartRows::columns() {
  BatchColumns c;
  c.status = {status_.get(), false};
  c.cognitiveScore = {cognitive_.get(), false};
  c.age = {age_.get(), false};
  c.motorScore = motor_.get();
  c.cognitiveMissing = cognitiveMissing_.get();
  c.ageMissing = ageMissing_.get();
  c.description = description_.get();
  c.cmg = cmg_.get();
  c.tableVersion = tableVersion_.get();
  c.grouperVersion = grouperVersion_.get();
  c.tier = tier_.get();
  c.ric = ric_.get();
  if (id_ != nullptr) c.id = {id_.get(), idRange_};
  c.edits = edits_.get();
  c.line = {line_.get(), true};
  return c;
}

void PartRows::put(std::size_t n, const BatchColumns& to, std::size_t first,
                   std::int64_t firstLine) noexcept {
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t row = first + i;
    // Motor and cognitive scores are reached together.
    const bool scored = !cognitiveMissing_[i];
    to.status.put(row, status_[i]);
    to.cognitiveScore.put(row, scored ? cognitive_[i] : to.missingInt);
    to.age.put(row, ageMissing_[i] ? to.missingInt : age_[i]);
    if (to.motorScore != nullptr) to.motorScore[row] = scored ? motor_[i] : to.missingReal;
    if (to.cognitiveMissing != nullptr) to.cognitiveMissing[row] = !scored;
    if (to.ageMissing != nullptr) to.ageMissing[row] = ageMissing_[i];
    if (to.description != nullptr) to.description[row] = description_[i];
    to.cmg[row] = cmg_[i];
    if (to.tableVersion != nullptr) to.tableVersion[row] = tableVersion_[i];
    if (to.grouperVersion != nullptr) to.grouperVersion[row] = grouperVersion_[i];
    if (to.tier != nullptr) to.tier[row] = tier_[i];
    if (to.ric != nullptr) to.ric[row] = ric_[i];
    if (to.id.data != nullptr && id_ != nullptr) {
      std::copy_n(id_.get() + i * idRange_.length, idRange_.length,
                  to.id.data + row * idRange_.length);
    }
    if (to.edits != nullptr && edits_ != nullptr) to.edits[row] = edits_[i];
    to.line.put(row, firstLine + line_[i]);
  }
  *this = PartRows();
}

}  // namespace cmg290::batch
