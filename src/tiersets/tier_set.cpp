// cmg290::TierSet: the compiled-in set, loading a set from a directory,
// what a set tells about itself, and writing it out.
#include "cmg290/tier_set.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "cmg290/result_json.h"
#include "tiersets/set_data.h"
#include "tiersets/set_load.h"

namespace cmg290 {

namespace fs = std::filesystem;
using tiersets::list_info;
using tiersets::SetData;

namespace {

// Reads a file of at most kMaxFileBytes; false with the reason otherwise.
bool read_file(const fs::path& path, std::string& text, std::string& reason) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (ec || !fs::is_regular_file(status)) {
    reason = ec ? "cannot be read: " + ec.message() : "is not a regular file";
    return false;
  }
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec || size > tiersets::kMaxFileBytes) {
    reason = ec ? "cannot be read: " + ec.message()
                : "is larger than " + std::to_string(tiersets::kMaxFileBytes >> 20) + " MiB";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (!in || bytes.str().size() > tiersets::kMaxFileBytes) {
    reason = "cannot be read";
    return false;
  }
  text = std::move(bytes).str();
  return true;
}

// The name a set takes from its directory when no manifest names it.
std::string directory_name(const std::string& directory) {
  fs::path p = fs::path(directory).lexically_normal();
  if (!p.has_filename()) p = p.parent_path();
  const std::string name = p.filename().string();
  return name.empty() || name == "." || name == ".." ? fs::absolute(p).filename().string() : name;
}

// Writes `text` to `path` through a temporary file beside it, so that a
// reader never sees a half-written file.
bool write_file(const fs::path& path, const std::string& text, std::string& error) {
  const fs::path temporary = path.string() + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
      error = "cannot write " + temporary.string();
      std::error_code ignored;
      fs::remove(temporary, ignored);
      return false;
    }
  }
  std::error_code ec;
  fs::rename(temporary, path, ec);
  if (ec) {
    error = "cannot replace " + path.string() + ": " + ec.message();
    fs::remove(temporary, ec);
    return false;
  }
  return true;
}

void append_json_string(std::string& out, std::string_view text) {
  std::string escaped(6 * text.size(), '\0');
  escaped.resize(
      static_cast<std::size_t>(write_json_escaped(escaped.data(), text) - escaped.data()));
  out += '"';
  out += escaped;
  out += '"';
}

}  // namespace

const char* tier_set_file(TierSetList list) noexcept {
  const int i = static_cast<int>(list);
  return i >= 0 && i < tiersets::kLists ? list_info(i).setFile : "";
}

bool parse_sha256(std::string_view text, std::string& digest, std::string& error) {
  constexpr std::size_t kDigits = 64;
  std::string lower;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      lower += c;
    } else if ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')) {
      lower += static_cast<char>(c | 0x20);
    } else {
      error = "the expected sha256 must be 64 hex digits (0-9, a-f); it holds another character";
      return false;
    }
  }
  if (lower.size() != kDigits) {
    error = "the expected sha256 must be 64 hex digits (0-9, a-f); it holds " +
            std::to_string(lower.size());
    return false;
  }
  digest = std::move(lower);
  return true;
}

std::string problem_text(const TierSetProblem& p) {
  std::string out = p.file;
  if (p.line > 0) {
    out += ':';
    out += std::to_string(p.line);
  }
  return out.empty() ? p.reason : out + ": " + p.reason;
}

TierSet::TierSet(std::unique_ptr<SetData> data) : data_(std::move(data)) {}
TierSet::~TierSet() = default;

std::shared_ptr<const TierSet> TierSet::compiled() {
  static const std::shared_ptr<const TierSet> set =
      std::make_shared<const TierSet>(tiersets::make_compiled_data());
  return set;
}

std::shared_ptr<const TierSet> TierSet::load(const std::string& directory,
                                             std::vector<TierSetProblem>& problems,
                                             const TierSetOptions& options) {
  const std::size_t before = problems.size();
  std::vector<tiersets::SetFile> files;
  std::error_code ec;
  fs::directory_iterator it(directory, ec);
  if (ec) {
    problems.push_back({directory, 0, "cannot read the directory: " + ec.message()});
    return nullptr;
  }
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    tiersets::SetFile f{it->path().filename().string(), {}};
    std::string reason;
    bool wanted = f.name == tiersets::kManifestFile;
    for (const auto& info : tables::kTierLists) wanted = wanted || f.name == info.setFile;
    // An unexpected file is named by load_files without being read.
    if (wanted && !read_file(it->path(), f.text, reason)) {
      problems.push_back({it->path().string(), 0, reason});
      continue;
    }
    files.push_back(std::move(f));
  }
  if (ec) {
    problems.push_back({directory, 0, "cannot read the directory: " + ec.message()});
    return nullptr;
  }
  std::string where = directory;
  while (where.size() > 1 && where.back() == '/') where.pop_back();
  auto data = tiersets::load_files(files, where, directory_name(directory), options, problems);
  if (data == nullptr || problems.size() != before) return nullptr;
  return std::make_shared<const TierSet>(std::move(data));
}

const std::string& TierSet::name() const noexcept {
  return data_->name;
}

const std::string& TierSet::digest() const noexcept {
  return data_->digest;
}

std::string TierSet::identity() const {
  std::string out = data_->name + " sha256:" + data_->digest;
  const std::size_t n = data_->deviations.size();
  if (n > 0) out += ", deviating in " + std::to_string(n) + (n == 1 ? " point" : " points");
  return out;
}

bool TierSet::is_compiled() const noexcept {
  return data_->compiled;
}

bool TierSet::holds_placeholders() const noexcept {
  return data_->placeholders;
}

bool TierSet::is_placeholder(TierSetList list, int row) const noexcept {
  const int i = static_cast<int>(list);
  if (i < 0 || i >= tiersets::kLists) return false;
  const tiersets::SetList& l = data_->lists[i];
  return row >= 1 && row <= l.rows() && l.placeholder[row] != 0;
}

bool TierSet::disclosure_cleared(TierSetList list, int row) const noexcept {
  const int i = static_cast<int>(list);
  if (i < 0 || i >= tiersets::kLists) return false;
  const tiersets::SetList& l = data_->lists[i];
  return row >= 1 && row < static_cast<int>(l.cleared.size()) && l.cleared[row] != 0;
}

int TierSet::line(TierSetList list, int row) const noexcept {
  const int i = static_cast<int>(list);
  if (i < 0 || i >= tiersets::kLists || row < 1 || row > data_->lists[i].rows()) return 0;
  const int line = data_->lists[i].entries[row - 1].line;
  return line > 0 ? line : row + 1;
}

const std::vector<std::string>& TierSet::deviations() const noexcept {
  return data_->deviations;
}

const std::vector<std::string>& TierSet::notes() const noexcept {
  return data_->notes;
}

int TierSet::entries(TierSetList list) const noexcept {
  const int i = static_cast<int>(list);
  return i >= 0 && i < tiersets::kLists ? data_->lists[i].rows() : 0;
}

TierSetRow TierSet::row(TierSetList list, int row) const {
  const int i = static_cast<int>(list);
  if (i < 0 || i >= tiersets::kLists || row < 1 || row > data_->lists[i].rows()) {
    throw std::out_of_range("tier set row " + std::to_string(row) + " out of range");
  }
  const tiersets::CsvEntry& e = data_->lists[i].entries[row - 1];
  return {e.code, e.code2, e.tier[0], e.rics};
}

bool TierSet::write(const std::string& directory, std::string& error) const {
  std::error_code ec;
  fs::create_directories(directory, ec);
  if (ec) {
    error = "cannot create " + directory + ": " + ec.message();
    return false;
  }
  const fs::path dir(directory);
  for (int i = 0; i < tiersets::kLists; ++i) {
    const std::string csv = tiersets::write_csv(data_->lists[i].entries, list_info(i).kind, true);
    if (!write_file(dir / list_info(i).setFile, csv, error)) return false;
  }
  std::string manifest =
      "# A comorbidity tier-table set (see docs/tier-sets.md).\nname = " + data_->name + "\n";
  return write_file(dir / tiersets::kManifestFile, manifest, error);
}

std::string tier_set_json(const TierSet& set) {
  std::string out = "{\"name\":";
  append_json_string(out, set.name());
  out += ",\"sha256\":\"" + set.digest() + "\",\"compiled_in\":";
  out += set.is_compiled() ? "true" : "false";
  out += ",\"placeholders\":";
  out += set.holds_placeholders() ? "true" : "false";
  out += ",\"deviations\":[";
  for (std::size_t i = 0; i < set.deviations().size(); ++i) {
    if (i > 0) out += ',';
    append_json_string(out, set.deviations()[i]);
  }
  out += "]}";
  return out;
}

}  // namespace cmg290
