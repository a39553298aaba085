// Builds records from named fields with the installed build_record, through
// both of its C++17 forms, and prints each on a line of its own: the same
// fields, read as CSV by `cmg290 build`, must give the same lines.
#include <cmg290/record_builder.h>

#include <iostream>
#include <vector>

int main() {
  const cmg290::BuiltRecord listed = cmg290::build_record({
      {"record_id", "IRF-PAI"},
      {"birth_date", "19500310"},
      {"impairment_group", "  01.1"},
      {"age_date", "20241001"},
  });
  std::vector<cmg290::FieldValue> held{{"record_id", "IRF-PAI"}, {"comorbid_code_1", "J38.01"}};
  const cmg290::BuiltRecord counted = cmg290::build_record(held.data(), held.size());
  const cmg290::BuiltRecord refused = cmg290::build_record({{"no_such_field", "1"}});
  if (!listed.ok() || !counted.ok() || refused.ok()) {
    std::cerr << "build_one: " << listed.error << counted.error << " (refusal: " << refused.error
              << ")\n";
    return 1;
  }
  std::cout << listed.record << '\n' << counted.record << '\n';
  return 0;
}
