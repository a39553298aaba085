// cmg290 build: fixed-position records from named field values, read as CSV
// with a header of field names or as JSON Lines of objects.
#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cmg290/record_builder.h"
#include "cmg290/record_layout.h"
#include "commands.h"
#include "exit_codes.h"
#include "field_rows.h"
#include "shared/output_file.h"

namespace cmg290::cli {

namespace {

struct BuildOptions {
  std::string input;
  std::string output;
  std::string format = "auto";
  bool listFields = false;
};

int list_fields() {
  std::printf("%-18s %5s %6s  %s\n", "field", "start", "length", "meaning");
  for (const FieldLayout& f : kRecordLayout) {
    std::printf("%-18.*s %5d %6d  %.*s\n", static_cast<int>(f.name.size()), f.name.data(), f.start,
                f.length, static_cast<int>(f.meaning.size()), f.meaning.data());
  }
  return std::fflush(stdout) == 0 ? kExitClean : kExitFatal;
}

// Reads physical lines, any bytes, without their line end.
class LineSource {
 public:
  explicit LineSource(std::FILE* f) : f_(f) {}
  ~LineSource() { std::free(buf_); }
  LineSource(const LineSource&) = delete;
  LineSource& operator=(const LineSource&) = delete;

  // False at the end of the input or on a read error (see failed()).
  bool next(std::string& line) {
    const ssize_t n = getline(&buf_, &room_, f_);
    if (n < 0) return false;
    ++number_;
    std::size_t len = static_cast<std::size_t>(n);
    if (len > 0 && buf_[len - 1] == '\n') --len;
    line.assign(buf_, len);
    return true;
  }
  bool failed() const { return std::ferror(f_) != 0; }
  long long number() const { return number_; }

 private:
  std::FILE* f_;
  char* buf_ = nullptr;
  std::size_t room_ = 0;
  long long number_ = 0;
};

int run_build(const BuildOptions& options) {
  if (options.listFields) return list_fields();
  std::FILE* file = stdin;
  std::string inputName = "standard input";
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> owned(nullptr, std::fclose);
  if (!options.input.empty() && options.input != "-") {
    inputName = options.input;
    owned.reset(std::fopen(options.input.c_str(), "rb"));
    if (!owned) return fatal("cannot open " + inputName + ": " + std::strerror(errno));
    file = owned.get();
  }
  OutputFile output;
  if (!output.open(options.output)) return fatal(output.error());

  LineSource lines(file);
  FieldRowReader reader(options.format);
  std::string line, error;
  long long rowLine = 0;
  std::vector<FieldValue> values;
  while (lines.next(line)) {
    const FieldRowReader::Step step = reader.add_line(line, lines.number(), values, rowLine, error);
    if (step == FieldRowReader::Step::Error) {
      return fatal(inputName + " line " + std::to_string(rowLine) + ": " + error);
    }
    if (step != FieldRowReader::Step::Row) continue;
    const BuiltRecord built = build_record(values);
    if (!built.ok())
      return fatal(inputName + " line " + std::to_string(rowLine) + ": " + built.error);
    if (output.write(built.record + "\n") != WriteStatus::Ok) return output.finish(kExitClean);
  }
  if (lines.failed()) return fatal("cannot read " + inputName + ": " + std::strerror(errno));
  if (!reader.finish(rowLine, error)) {
    return fatal(inputName + " line " + std::to_string(rowLine) + ": " + error);
  }
  return output.finish(kExitClean);
}

}  // namespace

Command add_build_command(CLI::App& app) {
  auto options = std::make_shared<BuildOptions>();
  CLI::App* cmd = app.add_subcommand(
      "build", "Build fixed-position records, one per line, from named field values.");
  cmd->add_option("input", options->input,
                  "CSV with a header of field names, or JSON Lines of objects with those names "
                  "(string values); '-' or none reads standard input.");
  cmd->add_option("-o,--output", options->output,
                  "Write here instead of standard output; the file appears only once complete.");
  cmd->add_option("-f,--format", options->format,
                  "Input format: csv, jsonl, or auto (JSON Lines when the first line that is "
                  "not empty begins with '{').")
      ->check(CLI::IsMember({"auto", "csv", "jsonl"}))
      ->default_str("auto");
  cmd->add_flag("--fields", options->listFields,
                "List the field names with their positions, lengths and meanings, and exit.");
  cmd->footer(
      "A value is left-aligned in its field and filled with blanks; a longer value, an unknown "
      "or repeated field name is refused. Positions no field covers are blank. Exit codes: 0 "
      "every row built; 2 a bad row (its line number and reason on standard error), bad "
      "arguments, unreadable input or unwritable output, and no output file written.");
  return {cmd, [options] { return run_build(*options); }};
}

}  // namespace cmg290::cli
