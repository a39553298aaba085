// pg_expected sql FILE   SQL that loads the records of FILE into a table
//                        sample(line, record)
// pg_expected rows FILE  what `SELECT s.line, g.* FROM sample s,
//                        LATERAL cmg290_group(s.record) g ORDER BY s.line`
//                        must print in psql's unaligned form (-At, null
//                        shown as NULL), from the library's own entry
// pg_expected explain FILE
//                        SQL that loads the library's explanation of each
//                        record into a table explained(line, e jsonb), with
//                        bytes above 127 as they are (a SQL_ASCII database)
// pg_expected edits FILE SQL that loads the library's edits of each record
//                        into a table edited(line, e jsonb), bytes above 127
//                        as they are
// pg_expected set DIR    writes the compiled-in tier lists into DIR as a
//                        tier-table set
//
// Records are read one per line as the command-line tool reads them: a
// trailing carriage return is dropped and empty lines are skipped. A line
// holding a zero byte cannot be a PostgreSQL text value and is left out of
// both outputs.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

#include "cmg290/cmg290.h"
#include "cmg290/edits.h"
#include "cmg290/explain.h"
#include "cmg290/tier_set.h"
#include "json_bytes.h"

namespace {

std::string sql_literal(const std::string& text) {
  std::string literal;
  for (char c : text) {
    if (c == '\'') literal += '\'';
    literal += c;
  }
  return literal;
}

void print_sql(long line, const std::string& record) {
  std::printf("INSERT INTO sample VALUES (%ld, '%s');\n", line, sql_literal(record).c_str());
}

void print_explained(long line, const std::string& record) {
  cmg290::ExplainFormat format;
  format.rawHighBytes = true;
  const std::string json = cmg290::explain_json(cmg290::explain(record), format);
  std::printf("INSERT INTO explained VALUES (%ld, '%s');\n", line, sql_literal(json).c_str());
}

void print_edits(long line, const std::string& record) {
  cmg290::Edits edits;
  cmg290::find_edits(record, cmg290::group(record), edits);
  std::string json(cmg290::edits_json_room(edits) + 1, '\0');
  *cmg290::write_edits_json(json.data(), edits) = '\0';
  cmg290::pg::unescape_high_bytes(json.data());
  json.resize(std::strlen(json.c_str()));
  std::printf("INSERT INTO edited VALUES (%ld, '%s');\n", line, sql_literal(json).c_str());
}

// The motor score text as PostgreSQL prints a numeric of scale 1: ".7"
// becomes "0.7", "-.7" becomes "-0.7".
std::string numeric_text(std::string_view motor) {
  while (!motor.empty() && motor.front() == ' ') motor.remove_prefix(1);
  std::string sign;
  if (!motor.empty() && motor.front() == '-') {
    sign = "-";
    motor.remove_prefix(1);
  }
  if (!motor.empty() && motor.front() == '.') return sign + "0" + std::string(motor);
  return sign + std::string(motor);
}

void print_row(long line, const cmg290::Result& r) {
  const bool grouped = r.status == 0;
  const bool aged = grouped || r.status == 7 || r.status == 9;
  const std::string tableVersion = r.tableVersion;
  std::printf("%ld|%d|%s|%s|%s|%s|%s|%s\n", line, r.status, grouped ? r.cmg : "NULL",
              grouped ? numeric_text(r.motorScore).c_str() : "NULL",
              grouped ? std::to_string(r.cognitiveScore).c_str() : "NULL",
              aged ? std::to_string(r.age).c_str() : "NULL",
              tableVersion == "    " ? "NULL" : tableVersion.c_str(), r.grouperVersion);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view mode = argc == 3 ? argv[1] : "";
  if (mode != "sql" && mode != "rows" && mode != "explain" && mode != "edits" && mode != "set") {
    std::cerr << "usage: pg_expected sql|rows|explain|edits FILE | set DIR\n";
    return 2;
  }
  if (mode == "set") {
    std::string error;
    if (cmg290::TierSet::compiled()->write(argv[2], error)) return 0;
    std::cerr << "pg_expected: " << error << "\n";
    return 2;
  }
  std::ifstream in(argv[2], std::ios::binary);
  if (!in) {
    std::cerr << "pg_expected: cannot open " << argv[2] << "\n";
    return 2;
  }
  std::string record;
  long line = 0;
  while (std::getline(in, record)) {
    ++line;
    if (!record.empty() && record.back() == '\r') record.pop_back();
    if (record.empty() || record.find('\0') != std::string::npos) continue;
    if (mode == "sql")
      print_sql(line, record);
    else if (mode == "explain")
      print_explained(line, record);
    else if (mode == "edits")
      print_edits(line, record);
    else
      print_row(line, cmg290::group(record));
  }
  return 0;
}
