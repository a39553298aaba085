// The pass's indexed search over a record's untrimmed slots against the
// explanation's row-by-row walk over the list the pass reads from them: any
// difference stops the fuzzer. The input picks the version, the RIC and 25
// cells; a cell is either a code taken from the tier lists (possibly
// altered) or raw bytes, written into its slot filled out with blanks or as
// all eight bytes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "cmg290/tier_tables.h"
#include "tier_record.h"

namespace {

using cmg290::detail::ComorbidCodeList;
using cmg290::detail::TableVersion;

struct Input {
  const std::uint8_t* p;
  std::size_t n;
  std::uint8_t next() {
    if (n == 0) return 0;
    --n;
    return *p++;
  }
};

const char* table_code(TableVersion v, unsigned pick) {
  switch (pick % 4) {
    case 0:
      return CmdICD290c1[1 + pick / 4 % (kCmdPairRows - 1)];
    case 1:
      return CmdICD290c2[1 + pick / 4 % (kCmdPairRows - 1)];
    case 2:
      return CmdICD290s2[1 + pick / 4 % (kCmdSecondaryRows - 1)];
    default:
      break;
  }
  pick /= 4;
  switch (v) {
    case TableVersion::V240:
      return CmdICD240[1 + pick % (kCmd240Rows - 1)];
    case TableVersion::V250:
      return CmdICD250[1 + pick % (kCmd250Rows - 1)];
    case TableVersion::V260:
    case TableVersion::V270:
      return CmdICD260[1 + pick % (kCmd260Rows - 1)];
    case TableVersion::V282:
      return CmdICD281s1[1 + pick % (kCmd281s1Rows - 1)];
    default:
      return CmdICD290s1[1 + pick % (kCmd290s1Rows - 1)];
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in{data, size};
  const TableVersion version = static_cast<TableVersion>(1 + in.next() % 6);
  const int ricNumber = 1 + in.next() % 21;
  const char ric[3] = {static_cast<char>('0' + ricNumber / 10),
                       static_cast<char>('0' + ricNumber % 10), '\0'};
  ComorbidCodeList list;
  std::memset(&list, 0, sizeof list);
  for (auto& cell : list.cell) {
    const std::uint8_t mode = in.next();
    if (mode < 0xa0) {
      const unsigned pick = in.next() | in.next() << 8;
      std::strncpy(cell, table_code(version, pick), 8);
      if (mode >= 0x80) cell[mode % 8] = static_cast<char>(in.next());  // a near miss
    } else if (mode < 0xc0) {
      cell[0] = '\0';
    } else {
      for (int i = 0; i < 8; ++i) cell[i] = static_cast<char>(in.next());
    }
  }
  const std::string record = cmg290::test::record_of_cells(list, in.next() % 2 == 0);
  if (cmg290::test::searched_letter(version, ric, record) !=
      cmg290::test::walked_letter(version, ric, record)) {
    std::abort();
  }
  return 0;
}
