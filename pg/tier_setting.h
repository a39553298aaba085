// The tier-table set the extension's functions group with, chosen by two
// settings that only a superuser may change:
//
//   cmg290.tier_tables                   a set's directory (an absolute
//                                        path); empty, the default: the
//                                        compiled-in lists
//   cmg290.tier_tables_allow_deviations  accept a set that deviates from
//                                        the documented contents
//
// A value is loaded once, when it is set, and kept by the backend until the
// setting changes; a call only reads which set is in use.
//
// SET refuses a set that does not load (and one that deviates while
// deviations are not allowed) with its problems, and the set in use stays.
// A value from anywhere else (postgresql.conf, ALTER DATABASE or ALTER ROLE
// ... SET, the connection) is taken even when its set does not load: the
// server would otherwise drop it with a warning and group with the
// compiled-in lists. Every call then fails naming the problems, until the
// setting names a set that loads.
#pragma once

namespace cmg290 {
class TierSet;
}

namespace cmg290::pg {

// Defines both settings; called once as the server loads the module.
void define_tier_settings();

struct SetInUse {
  const cmg290::TierSet* set = nullptr;  // null: the compiled-in lists
  bool refused = false;                  // the set configured cannot be used
};
extern SetInUse gSetInUse;

// Raises the server error saying why the set configured cannot be used.
[[noreturn]] void raise_refused_set();

// The set to group with, null for the compiled-in lists; raises that error
// when the set configured cannot be used.
inline const cmg290::TierSet* tier_set_in_use() {
  if (gSetInUse.refused) raise_refused_set();
  return gSetInUse.set;
}

}  // namespace cmg290::pg
