// The settings cmg290.tier_tables, cmg290.tier_tables_allow_deviations and
// cmg290.tier_tables_sha256 (see tier_setting.h). The server calls the hooks
// below from C and reports errors with longjmp: no hook lets a C++ exception
// out, and none keeps a C++ object with a destructor alive across a call that
// may raise a server error.

extern "C" {
#include "postgres.h"

#include "access/parallel.h"
#include "utils/guc.h"
#include "utils/guc_tables.h"
}

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cmg290/tier_set.h"

#include "result_values.h"
#include "set_registry.h"
#include "tier_setting.h"

namespace cmg290::pg {

SetInUse gSetInUse;

namespace {

constexpr const char* kTierTables = "cmg290.tier_tables";

constexpr const char* kPinSetting = "cmg290.tier_tables_sha256";

// What the server writes the settings' values into (GUC owns the strings).
char* gTierTablesValue = nullptr;
bool gAllowValue = false;
char* gPinValue = nullptr;

SetRegistry gRegistry;
const LoadedSet kCompiledIn{
    .id = 0, .directory = {}, .set = {}, .loaded = true, .detail = {}, .problems = 0};
const LoadedSet* gConfigured = &kCompiledIn;  // null: the entry was lost (never expected)
bool gAllowDeviations = false;
// cmg290.tier_tables_sha256: the digest in lower case, empty for none; a
// value that is no digest (taken from the configuration) refuses every set.
std::string gPin;
bool gPinMalformed = false;
bool gDefining = false;  // the module is defining the settings

// The digest of an entry's set (the compiled-in lists' for the compiled-in
// entry); empty, which no pin matches, when memory ran out.
const std::string& digest_of(const LoadedSet& entry) noexcept {
  static const std::string kNone;
  try {
    return (entry.set != nullptr ? *entry.set : *cmg290::TierSet::compiled()).digest();
  } catch (...) {
    return kNone;
  }
}

// A pin as given, in lower case into `pin`; false for a value that is not 64
// hex digits (or when memory ran out).
bool read_pin(const char* value, std::string& pin) noexcept {
  try {
    std::string error;
    return cmg290::parse_sha256(value, pin, error);
  } catch (...) {
    return false;
  }
}

// The pin refuses the set of this entry (one that loaded).
bool pin_refuses(const LoadedSet& entry) {
  return gPinMalformed || (!gPin.empty() && digest_of(entry) != gPin);
}

// Deviations are accepted when allowed, or when the set is the one pinned.
bool deviations_refused(const LoadedSet& entry) {
  return entry.deviates() && !gAllowDeviations && gPin.empty();
}

// Called whenever a setting takes a value: which set the calls use.
void update_in_use() {
  const LoadedSet* c = gConfigured;
  gSetInUse.set = c != nullptr ? c->set.get() : nullptr;
  gSetInUse.refused = c == nullptr || !c->loaded || pin_refuses(*c) || deviations_refused(*c);
  forget_last_record();
}

std::uint64_t id_of(const void* extra) {
  return extra != nullptr ? *static_cast<const std::uint64_t*>(extra) : 0;
}

// Drops the loaded sets that no value of the setting names any longer: the
// server frees a value's extra without telling us, so the values it still
// holds are looked up where it keeps them (the current value, the RESET
// value, the values a transaction's end restores).
void drop_unused_sets() noexcept {
  config_string* ours = nullptr;
  config_generic** vars = get_guc_variables();
  const int count = GetNumConfigOptions();
  for (int i = 0; i < count && ours == nullptr; ++i) {
    config_generic* v = vars[i];
    if (std::strcmp(v->name, kTierTables) == 0 && v->vartype == PGC_STRING &&
        (v->flags & GUC_CUSTOM_PLACEHOLDER) == 0)
      ours = reinterpret_cast<config_string*>(v);
  }
  if (ours == nullptr) return;  // not defined yet: nothing loaded is in use
  try {
    std::vector<std::uint64_t> live{id_of(ours->gen.extra), id_of(ours->reset_extra)};
    for (const GucStack* s = ours->gen.stack; s != nullptr; s = s->prev) {
      live.push_back(id_of(s->prior.extra));
      live.push_back(id_of(s->masked.extra));
    }
    if (gConfigured != nullptr) live.push_back(gConfigured->id);
    gRegistry.keep_only(live);
  } catch (...) {
    // Out of memory: the sets stay until the next value is set.
  }
}

// A SET from the session, and ALTER DATABASE / ROLE ... SET (PGC_S_TEST),
// check the set and refuse it with its problems; a deviating set or one
// other than the pinned one as well, by this session's settings (the
// database's or role's own are not known here). Values from elsewhere are
// taken whatever their set is, so that calls fail rather than group with the
// compiled-in lists: the server would drop a refused value from
// postgresql.conf or ALTER ... SET with a warning, or with a log line on a
// reload. A parallel worker takes its leader's values as they are.
bool checks_strictly(GucSource source) {
  if (gDefining || InitializingParallelWorker) return false;
  return source == PGC_S_SESSION || source == PGC_S_TEST;
}

bool check_tier_tables(char** newval, void** extra, GucSource source) {
  const char* value = *newval != nullptr ? *newval : "";
  drop_unused_sets();
  std::uint64_t id = 0;
  if (value[0] != '\0') {
    const LoadedSet* entry = gRegistry.load(value);
    if (entry == nullptr) {
      GUC_check_errcode(ERRCODE_OUT_OF_MEMORY);
      GUC_check_errmsg("out of memory loading the tier-table set in \"%s\"", value);
      return false;
    }
    if (checks_strictly(source) && !entry->loaded) {
      GUC_check_errdetail("%s", entry->detail.c_str());
      return false;
    }
    if (checks_strictly(source) && pin_refuses(*entry)) {
      if (gPinMalformed) {
        GUC_check_errdetail("cmg290.tier_tables_sha256 is not 64 hex digits.");
      } else {
        GUC_check_errdetail("Its sha256 is %s, expected %s (cmg290.tier_tables_sha256).",
                            digest_of(*entry).c_str(), gPin.c_str());
      }
      GUC_check_errhint("Set cmg290.tier_tables_sha256 to the digest of the set signed off.");
      return false;
    }
    if (checks_strictly(source) && deviations_refused(*entry)) {
      GUC_check_errdetail("The set deviates from the documented contents in %d points:\n%s",
                          entry->problems, entry->detail.c_str());
      GUC_check_errhint(
          "Set cmg290.tier_tables_sha256 to its digest, or cmg290.tier_tables_allow_deviations "
          "to on, first to accept it (in this session as well as for the database or role).");
      return false;
    }
    id = entry->id;
  }
  auto* held = static_cast<std::uint64_t*>(std::malloc(sizeof(std::uint64_t)));
  if (held == nullptr) {
    GUC_check_errcode(ERRCODE_OUT_OF_MEMORY);
    GUC_check_errmsg("out of memory");
    return false;
  }
  *held = id;
  *extra = held;
  return true;
}

void assign_tier_tables(const char*, void* extra) {
  const std::uint64_t id = id_of(extra);
  gConfigured = id == 0 ? &kCompiledIn : gRegistry.find(id);
  update_in_use();
}

void assign_allow_deviations(bool newval, void*) {
  gAllowDeviations = newval;
  update_in_use();
}

// SET and ALTER ... SET refuse a value that is no digest; one from
// elsewhere is taken, and refuses every set (pin_refuses).
bool check_pin(char** newval, void**, GucSource source) {
  const char* value = *newval != nullptr ? *newval : "";
  std::string digest;
  if (value[0] == '\0' || read_pin(value, digest)) {
    // Shown as the digests are compared: in lower case.
    for (char* c = *newval; c != nullptr && *c != '\0'; ++c) {
      if (*c >= 'A' && *c <= 'F') *c = static_cast<char>(*c | 0x20);
    }
    return true;
  }
  if (!checks_strictly(source)) return true;
  GUC_check_errdetail("The expected sha256 must be 64 hex digits (0-9, a-f, in either case).");
  return false;
}

void assign_pin(const char* newval, void*) {
  const char* value = newval != nullptr ? newval : "";
  gPin.clear();
  gPinMalformed = value[0] != '\0' && !read_pin(value, gPin);
  update_in_use();
}

}  // namespace

void define_tier_settings() {
  gDefining = true;
  // Deviations first: a value of both given before the module was loaded
  // then finds the set's value allowed or not as it was meant.
  DefineCustomBoolVariable(
      "cmg290.tier_tables_allow_deviations",
      "Accepts a tier-table set that deviates from the documented contents of the lists.",
      "The deviations are part of the set's identity (cmg290_tier_set()).", &gAllowValue, false,
      PGC_SUSET, 0, nullptr, assign_allow_deviations, nullptr);
  DefineCustomStringVariable(
      kPinSetting, "SHA-256 digest the tier-table set in use must have.",
      "64 hex digits; the set with that digest is taken with its deviations, any other is "
      "refused. Empty: any set.",
      &gPinValue, "", PGC_SUSET, 0, check_pin, assign_pin, nullptr);
  DefineCustomStringVariable(
      kTierTables, "Directory of the comorbidity tier-table set the grouping functions use.",
      "An absolute path; empty for the lists compiled into the module.", &gTierTablesValue, "",
      PGC_SUSET, 0, check_tier_tables, assign_tier_tables, nullptr);
  MarkGUCPrefixReserved("cmg290");
  gDefining = false;
}

void raise_refused_set() {
  const LoadedSet* c = gConfigured;
  if (c == nullptr)
    ereport(ERROR, (errcode(ERRCODE_INTERNAL_ERROR),
                    errmsg("cmg290: the tier-table set configured is no longer held"),
                    errhint("Set cmg290.tier_tables again.")));
  if (!c->loaded)
    ereport(ERROR,
            (errcode(ERRCODE_CONFIG_FILE_ERROR),
             errmsg("cmg290: the tier-table set in \"%s\" (cmg290.tier_tables) does not load",
                    c->directory.c_str()),
             errdetail("%s", c->detail.c_str()),
             errhint("Correct its files or point cmg290.tier_tables at another set. A set is "
                     "loaded when the setting is set and when the configuration is "
                     "reloaded.")));
  if (gPinMalformed)
    ereport(ERROR, (errcode(ERRCODE_INVALID_PARAMETER_VALUE),
                    errmsg("cmg290: cmg290.tier_tables_sha256 is not 64 hex digits"),
                    errhint("Set it to the digest of the set signed off, or reset it.")));
  if (pin_refuses(*c))
    ereport(ERROR,
            (errcode(ERRCODE_INVALID_PARAMETER_VALUE),
             errmsg("cmg290: the tier-table set in \"%s\" is not the one "
                    "cmg290.tier_tables_sha256 expects",
                    c->directory.empty() ? "(compiled in)" : c->directory.c_str()),
             errdetail("Its sha256 is %s, expected %s.", digest_of(*c).c_str(), gPin.c_str()),
             errhint("Point cmg290.tier_tables at the set signed off, or set "
                     "cmg290.tier_tables_sha256 to the digest of this one.")));
  ereport(ERROR,
          (errcode(ERRCODE_INVALID_PARAMETER_VALUE),
           errmsg("cmg290: the tier-table set in \"%s\" deviates from the documented contents in "
                  "%d points, and cmg290.tier_tables_allow_deviations is off",
                  c->directory.c_str(), c->problems),
           errdetail("%s", c->detail.c_str()),
           errhint("Set cmg290.tier_tables_allow_deviations to on to accept the deviations.")));
  pg_unreachable();
}

}  // namespace cmg290::pg
