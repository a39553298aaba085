// Grouping speed on one core: a mix of records across table versions, RICs,
// statuses and comorbid codes.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "cmg290/cmg290.h"
#include "record_builder.h"

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

}  // namespace
