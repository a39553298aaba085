#include "tier_search.h"

namespace cmg290::detail {

char tier_letter(TableVersion, const char*, const ComorbidCodeList&) {
  return 'A';
}

}  // namespace cmg290::detail
