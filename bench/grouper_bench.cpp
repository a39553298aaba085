// Grouping speed on one core: a mix of records across table versions, RICs,
// statuses and comorbid codes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "cmg290/cmg290.h"
#include "cmg290/tier_set.h"
#include "grouper/record_intake.h"
#include "record_builder.h"
#include "streamed_records.h"
#include "tier_record.h"

namespace {

using cmg290::test::RecordBuilder;

std::vector<std::string> record_mix() {
  const char* dates[] = {"20100801", "20110101", "20120601", "20150101", "20160301", "20190101"};
  const char* impairments[] = {"  01.1", "  02.21", "  04.210", "  08.51", "  05.3", "  11"};
  const char* items[] = {"01", "03", "05", "07", "  ", "02"};
  const char* codes[] = {"J38.01", "E11.65^^", "B39.4^^^", "G02.^^^^", "478.31", "Z99.2^^^"};
  std::vector<std::string> mix;
  for (int i = 0; i < 64; ++i) {
    RecordBuilder b = RecordBuilder::valid();
    b.versionDate(dates[i % 6]).impairment(impairments[(i / 6) % 6]);
    b.allMotor(items[i % 6]).allCognitive(items[(i + 3) % 6]);
    for (int k = 1; k <= 25; k += 3) b.comorbid(k, codes[(i + k) % 6]);
    if (i % 16 == 15) b.id("XXX");  // a rejected record now and then
    mix.push_back(b.str());
  }
  return mix;
}

void BM_CMG_290_mix(benchmark::State& state) {
  std::vector<std::string> mix = record_mix();
  char cmg[6], motor[7], tv[5], gv[5];
  int status, cog, age;
  std::size_t i = 0;
  for (auto _ : state) {
    std::string& r = mix[i++ % mix.size()];
    benchmark::DoNotOptimize(CMG_290(r.data(), cmg, &status, motor, &cog, &age, tv, gv));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CMG_290_mix);

// A 2.90 record with 25 codes, none of which gives a tier: every list is
// searched to its end, the worst case for a row scan (about 29,000 string
// comparisons).
std::string record_25_codes() {
  RecordBuilder b = RecordBuilder::valid().versionDate("20190101");
  for (int k = 1; k <= 25; ++k) {
    const std::string code = "M" + std::to_string(10 + k) + "." + std::to_string(k % 10) + "^^^";
    b.comorbid(k, code);
  }
  return b.str();
}

void BM_CMG_290_25_codes(benchmark::State& state) {
  std::string r = record_25_codes();
  char cmg[6], motor[7], tv[5], gv[5];
  int status, cog, age;
  for (auto _ : state) {
    benchmark::DoNotOptimize(CMG_290(r.data(), cmg, &status, motor, &cog, &age, tv, gv));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CMG_290_25_codes);

// The pass's indexed search over a record's slots in place, and the
// explanation's walk over every row, which also notes what it passed.
void BM_Tier290_25_codes_indexed(benchmark::State& state) {
  const std::string r = record_25_codes();
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        cmg290::test::searched_letter(cmg290::detail::TableVersion::V290, "01", r));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Tier290_25_codes_indexed);

void BM_Tier290_25_codes_row_walk(benchmark::State& state) {
  const std::string r = record_25_codes();
  const auto list = cmg290::test::list_of_record(r);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        cmg290::explain_detail::walk_tier_rows(cmg290::detail::TableVersion::V290, "01", list)
            .letter);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Tier290_25_codes_row_walk);

// The compiled-in lists written out as a tier-table set and loaded back,
// once for all runs: grouping with it searches the set's run-time indexes.
const cmg290::TierSet& loaded_set() {
  static const std::shared_ptr<const cmg290::TierSet> set = [] {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("cmg290-bench-set-" + std::to_string(getpid()));
    std::string error;
    std::vector<cmg290::TierSetProblem> problems;
    std::shared_ptr<const cmg290::TierSet> loaded;
    if (cmg290::TierSet::compiled()->write(dir.string(), error)) {
      loaded = cmg290::TierSet::load(dir.string(), problems);
    }
    std::filesystem::remove_all(dir);
    if (loaded == nullptr) {
      std::fprintf(stderr, "cannot write and load the compiled-in set: %s\n", error.c_str());
      std::abort();
    }
    return loaded;
  }();
  return *set;
}

void BM_set_group_mix(benchmark::State& state) {
  std::vector<std::string> mix = record_mix();
  const cmg290::TierSet& set = loaded_set();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(cmg290::group(mix[i++ % mix.size()], set));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_set_group_mix);

void BM_group_mix(benchmark::State& state) {
  std::vector<std::string> mix = record_mix();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(cmg290::group(mix[i++ % mix.size()]));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_group_mix);

// Groups every streamed record in turn, with the compiled-in lists or with
// a set.
void group_streamed(benchmark::State& state, const cmg290::TierSet* set) {
  const std::vector<std::string_view>& records = cmg290::bench::streamed_lines();
  if (records.empty()) {
    state.SkipWithError(
        "no records: set CMG290_BENCH_RECORDS to a file of records, one per line (cmg290 sample "
        "writes one)");
    return;
  }
  std::size_t i = 0;
  if (set != nullptr) {
    for (auto _ : state) {
      benchmark::DoNotOptimize(cmg290::group(records[i], *set));
      if (++i == records.size()) i = 0;
    }
  } else {
    for (auto _ : state) {
      benchmark::DoNotOptimize(cmg290::group(records[i]));
      if (++i == records.size()) i = 0;
    }
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["records"] = static_cast<double>(records.size());
}

void BM_group_streamed(benchmark::State& state) {
  group_streamed(state, nullptr);
}
BENCHMARK(BM_group_streamed)->MinTime(2.0);

// The same records with the compiled-in lists written out and loaded back as
// a set (named apart, so that a filter "BM_group_streamed" leaves it out).
void BM_set_group_streamed(benchmark::State& state) {
  group_streamed(state, &loaded_set());
}
BENCHMARK(BM_set_group_streamed)->MinTime(2.0);

}  // namespace
