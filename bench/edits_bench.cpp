// Speed of finding edits on one core, over records as `cmg290 sample`
// writes them: the edits alone (results grouped beforehand), grouping with
// and without them, and with the texts front ends write (the codes joined
// with ";" and the JSON array).
//
// The records come from the file named by CMG290_BENCH_RECORDS (one per
// line), else from the built command's `sample` (see streamed_records.h).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cmg290/cmg290.h"
#include "cmg290/edits.h"
#include "streamed_records.h"

namespace {

const std::vector<std::string_view>& records() {
  return cmg290::bench::streamed_lines();
}

bool have_records(benchmark::State& state) {
  if (!records().empty()) return true;
  state.SkipWithError("no records: set CMG290_BENCH_RECORDS to a file of `cmg290 sample` records");
  return false;
}

void count(benchmark::State& state, long long withEdits) {
  state.SetItemsProcessed(state.iterations());
  state.counters["records"] = static_cast<double>(records().size());
  if (state.iterations() > 0) {
    state.counters["with_edits"] =
        static_cast<double>(withEdits) / static_cast<double>(state.iterations());
  }
}

void BM_edits_alone_streamed(benchmark::State& state) {
  if (!have_records(state)) return;
  const std::vector<std::string_view>& recs = records();
  std::vector<cmg290::Result> results;
  results.reserve(recs.size());
  for (std::string_view r : recs) results.push_back(cmg290::group(r));
  cmg290::Edits edits;
  std::size_t i = 0;
  long long withEdits = 0;
  for (auto _ : state) {
    cmg290::find_edits(recs[i], results[i], edits);
    withEdits += edits.count != 0;
    benchmark::DoNotOptimize(edits.count);
    if (++i == recs.size()) i = 0;
  }
  count(state, withEdits);
}
BENCHMARK(BM_edits_alone_streamed)->MinTime(2.0);

void BM_group_streamed(benchmark::State& state) {
  if (!have_records(state)) return;
  const std::vector<std::string_view>& recs = records();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(cmg290::group(recs[i]));
    if (++i == recs.size()) i = 0;
  }
  count(state, 0);
}
BENCHMARK(BM_group_streamed)->MinTime(2.0);

void BM_group_with_edits_streamed(benchmark::State& state) {
  if (!have_records(state)) return;
  const std::vector<std::string_view>& recs = records();
  cmg290::Edits edits;
  std::size_t i = 0;
  long long withEdits = 0;
  for (auto _ : state) {
    const cmg290::Result r = cmg290::group(recs[i]);
    cmg290::find_edits(recs[i], r, edits);
    withEdits += edits.count != 0;
    benchmark::DoNotOptimize(edits.count);
    if (++i == recs.size()) i = 0;
  }
  count(state, withEdits);
}
BENCHMARK(BM_group_with_edits_streamed)->MinTime(2.0);

// Grouping, the edits and both texts a front end writes for them, into a
// buffer reused from record to record.
void BM_group_edits_texts_streamed(benchmark::State& state) {
  if (!have_records(state)) return;
  const std::vector<std::string_view>& recs = records();
  cmg290::Edits edits;
  // Room for the most edits a record can raise, in both texts.
  std::vector<char> out(2 + cmg290::Edits::kCapacity *
                                (cmg290::kEditJsonMax + cmg290::longest_edit_code() + 1));
  std::size_t i = 0;
  long long withEdits = 0;
  for (auto _ : state) {
    const cmg290::Result r = cmg290::group(recs[i]);
    cmg290::find_edits(recs[i], r, edits);
    char* end = cmg290::write_edit_codes(out.data(), edits);
    end = cmg290::write_edits_json(end, edits);
    withEdits += edits.count != 0;
    benchmark::DoNotOptimize(end);
    if (++i == recs.size()) i = 0;
  }
  count(state, withEdits);
}
BENCHMARK(BM_group_edits_texts_streamed)->MinTime(2.0);

}  // namespace
