// The tier-table set loader on arbitrary files. The first byte chooses how
// the rest is read:
//   even  the files themselves: the seven lists and the manifest, in the
//         order of TierSetList, separated by a byte 0x1E;
//   odd   edits of the compiled-in set's files, separated by 0x1E: a byte
//         choosing the file, two the line, and the line's new text (which
//         may hold line ends), so that sets near a sound one reach every
//         check.
// Whatever loads must group as the explanation's row walk over its lists
// says, and name itself.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "cmg290/explain.h"
#include "cmg290/tier_set.h"
#include "record_builder.h"
#include "tiersets/set_load.h"

namespace {

using namespace cmg290;
using tiersets::SetFile;

constexpr char kSeparator = '\x1e';
constexpr int kFiles = tiersets::kLists + 1;

std::string file_name(int i) {
  return i < tiersets::kLists ? tier_set_file(static_cast<TierSetList>(i))
                              : tiersets::kManifestFile;
}

std::vector<std::string_view> split(std::string_view text) {
  std::vector<std::string_view> parts;
  for (;;) {
    const std::size_t end = text.find(kSeparator);
    parts.push_back(text.substr(0, end));
    if (end == std::string_view::npos) return parts;
    text.remove_prefix(end + 1);
  }
}

// The compiled-in set's files, as lines.
const std::vector<std::vector<std::string>>& compiled_lines() {
  static const auto lines = [] {
    std::vector<std::vector<std::string>> out(kFiles);
    const tiersets::SetData& data = TierSet::compiled()->data();
    for (int i = 0; i < tiersets::kLists; ++i) {
      const std::string csv =
          tiersets::write_csv(data.lists[i].entries, tiersets::list_info(i).kind);
      for (std::size_t at = 0; at < csv.size();) {
        const std::size_t nl = csv.find('\n', at);
        out[i].push_back(csv.substr(at, nl - at));
        at = nl + 1;
      }
    }
    out[tiersets::kLists] = {"name = fuzzed"};
    return out;
  }();
  return lines;
}

std::vector<SetFile> edited_files(std::string_view edits) {
  std::vector<std::vector<std::string>> lines = compiled_lines();
  for (const std::string_view edit : split(edits)) {
    if (edit.size() < 3) continue;
    auto& file = lines[static_cast<unsigned char>(edit[0]) % kFiles];
    const std::size_t at =
        (static_cast<unsigned char>(edit[1]) << 8 | static_cast<unsigned char>(edit[2])) %
        (file.size() + 1);
    const std::string text(edit.substr(3));
    if (at == file.size()) {
      file.push_back(text);
    } else {
      file[at] = text;
    }
  }
  std::vector<SetFile> files;
  for (int i = 0; i < kFiles; ++i) {
    std::string text;
    for (const std::string& l : lines[i]) text += l + "\n";
    files.push_back({file_name(i), std::move(text)});
  }
  return files;
}

void check_set(const TierSet& set) {
  if (set.digest().size() != 64 || set.name().empty()) std::abort();
  static const std::string records[] = {
      test::RecordBuilder::valid()
          .versionDate("20190101")
          .comorbid(1, "B39.4^^^")
          .comorbid(2, "G02.^^^^"),
      test::RecordBuilder::valid().versionDate("20160301").comorbid(5, "J38.01^^"),
      test::RecordBuilder::valid()
          .versionDate("20120601")
          .comorbid(1, "478.31")
          .comorbid(9, "V44.0"),
      test::RecordBuilder::valid()
          .versionDate("20100801")
          .impairment("  08.51")
          .comorbid(3, "999.1"),
  };
  for (const std::string& r : records) {
    const Result searched = group(r, set);
    const Result walked = explain(r, set).result;
    if (std::strcmp(searched.cmg, walked.cmg) != 0 || searched.status != walked.status) {
      std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::vector<SetFile> files;
  if ((data[0] & 1) == 0) {
    const std::vector<std::string_view> parts = split(input);
    for (std::size_t i = 0; i < parts.size() && i < kFiles; ++i) {
      files.push_back({file_name(static_cast<int>(i)), std::string(parts[i])});
    }
  } else {
    files = edited_files(input);
  }
  std::vector<TierSetProblem> problems;
  TierSetOptions options;
  options.allowDeviations = (data[0] & 2) != 0;
  auto loaded = tiersets::load_files(files, "", "fuzzed", options, problems);
  if ((loaded == nullptr) == problems.empty()) std::abort();
  if (loaded != nullptr) check_set(TierSet(std::move(loaded)));
  return 0;
}
