// The tier-table set the extension's functions group with, chosen by three
// settings that only a superuser may change:
//
//   cmg290.tier_tables                   a set's directory (an absolute
//                                        path); empty, the default: the
//                                        compiled-in lists
//   cmg290.tier_tables_allow_deviations  accept a set that deviates from
//                                        the documented contents
//   cmg290.tier_tables_sha256            the digest the set must have (64
//                                        hex digits; empty: any): that set
//                                        is taken with its deviations, any
//                                        other refused
//
// A value is loaded once, when it is set, and kept by the backend until the
// setting changes; a call only reads which set is in use.
//
// SET and ALTER DATABASE / ROLE ... SET refuse a set that does not load
// (and one that deviates while deviations are not allowed, or that is not
// the one pinned, by the settings of the session) with its problems, and
// the set in use stays.
// A value from anywhere else (postgresql.conf, the database's or role's
// settings as a session starts, the connection) is taken even when its set
// does not load, and a pin that is no digest likewise: the
// server would otherwise drop it with a warning and group with the
// compiled-in lists. Every call then fails naming the problems, until the
// settings name a set that loads (and is the one pinned).
#pragma once

namespace cmg290 {
class TierSet;
}

namespace cmg290::pg {

// Defines the settings; called once as the server loads the module.
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
