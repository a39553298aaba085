// The text columns of a result frame, filled from the batch engine's keys
// with a few cached strings (one per description, CMG, tier letter, RIC,
// table version, grouper version and distinct list of edits), and its id
// column from the ids the grouping threads cut.
#pragma once

#include <Rcpp.h>

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "batch/group_batch.h"
#include "record_text.h"

namespace cmg290::r {

// The strings of the few texts a column holds, made on first use. They are
// kept alive by the columns they are put into, and made only just before.
class TextCache {
 public:
  TextCache() : texts_(batch::text_keys().size(), nullptr) {}

  // The same texts when made already, else nullptr; these make nothing.
  SEXP known(batch::TextKey key) const noexcept {
    if (key == batch::kNoText) return NA_STRING;
    return key < texts_.size() ? texts_[key] : nullptr;
  }
  SEXP known_edits(batch::EditKey key) const noexcept {
    if (key == batch::kNoEdits) return R_BlankString;
    const auto it = edits_.find(key);
    return it == edits_.end() ? nullptr : it->second;
  }

  // The text of a key below the keys' size; kNoText is NA.
  SEXP text(batch::TextKey key);
  // The codes of a key other than kManyEdits joined with ";".
  SEXP edits(batch::EditKey key);

 private:
  std::vector<SEXP> texts_;
  std::unordered_map<batch::EditKey, SEXP> edits_;
};

// The text columns of a frame: SEXPs of its character vectors, each with
// the keys the engine writes (null for a column the frame lacks).
struct TextColumnSet {
  static constexpr int kCount = 6;  // description, cmg, tier, ric, table and grouper versions
  SEXP column[kCount] = {};
  const batch::TextKey* keys[kCount] = {};
  SEXP edits = nullptr;  // with the engine's edit keys
};

// Fills the text columns. While the grouping threads run it only puts in
// strings the cache holds already, which makes nothing and so cannot fail;
// the rows it leaves are filled once they have stopped.
class TextColumns : public batch::RowSink {
 public:
  TextColumns(const TextColumnSet& set, const batch::BatchColumns& columns, std::size_t rows)
      : set_(set), c_(columns), left_(rows, 0) {}

  void rows(std::size_t begin, std::size_t end) noexcept override;

  // The rows left, once the grouping threads have stopped: records to
  // convert first are settled (which may refuse them), texts not made yet
  // are made. The records are R's `views`, or else those of `source`.
  void finish(RecordViews* views, const batch::RecordSource& source,
              const batch::BatchSettings& settings);

 private:
  struct Made {
    TextColumns* columns;
    std::size_t row;
  };
  static void make(void* data);
  bool put_known(std::size_t i) noexcept;
  void put_made(std::size_t i);
  void put_odd(std::string_view record, const batch::BatchSettings& settings, std::size_t i);

  TextColumnSet set_;
  const batch::BatchColumns& c_;
  std::vector<unsigned char> left_;
  TextCache cache_;
};

// An id argument: NULL, or c(start, length) as integers, checked by the
// rule of `cmg290 group --id`, ending by the last position a record holds
// (std::invalid_argument otherwise).
std::optional<cli::IdRange> id_range(SEXP id);

// The ids of `rows` rows, `length` bytes each, as a character vector
// (protected by the caller). Throws std::invalid_argument naming the row
// (1-based) of an id holding a zero byte, which an R string cannot.
SEXP id_column(const std::vector<char>& bytes, std::size_t rows, std::size_t length);

}  // namespace cmg290::r
