// Request bodies of cmg290 serve to records: any bytes as a single JSON body
// and as a batch body (text and JSON Lines, fed in pieces of the sizes the
// first byte picks). Nothing may crash; a record built from JSON is grouped;
// a batch answers one JSON line per non-empty line up to a refused one.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "batch.h"
#include "cmg290/cmg290.h"
#include "request_body.h"

using namespace cmg290::serve;

namespace {

void run_batch(BodyType type, std::string_view body, std::size_t piece) {
  std::uint64_t lines = 0;
  BatchGrouper batch(type, 4096, [&lines](const char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) lines += data[i] == '\n';
    return true;
  });
  bool ok = true;
  for (std::size_t at = 0; ok && at < body.size(); at += piece) {
    ok = batch.feed(body.data() + at, std::min(piece, body.size() - at));
  }
  ok = ok && batch.finish();
  if (ok != !batch.refused()) __builtin_trap();
  // Every result and a refusal's error are one line each.
  if (lines != batch.records() + (batch.refused() ? 1 : 0)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t piece = 1 + data[0] % 64 * 37;
  const std::string_view body(reinterpret_cast<const char*>(data) + 1, size - 1);

  std::string record;
  BodyError error;
  if (record_from_json(body, record, error)) {
    (void)cmg290::group(record);
  } else if (error.code.empty() || error.message.empty()) {
    __builtin_trap();
  }
  (void)cmg290::group(record_from_text(body));
  run_batch(BodyType::Text, body, piece);
  run_batch(BodyType::Json, body, piece);
  return 0;
}
