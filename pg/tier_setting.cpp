// The settings cmg290.tier_tables and cmg290.tier_tables_allow_deviations
// (see tier_setting.h). The server calls the hooks below from C and reports
// errors with longjmp: no hook lets a C++ exception out, and none keeps a
// C++ object with a destructor alive across a call that may raise a server
// error.

extern "C" {
#include "postgres.h"

#include "access/parallel.h"
#include "utils/guc.h"
#include "utils/guc_tables.h"
}

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "result_values.h"
#include "set_registry.h"
#include "tier_setting.h"

namespace cmg290::pg {

SetInUse gSetInUse;

namespace {

constexpr const char* kTierTables = "cmg290.tier_tables";

// What the server writes the settings' values into (GUC owns the strings).
char* gTierTablesValue = nullptr;
bool gAllowValue = false;

SetRegistry gRegistry;
const LoadedSet kCompiledIn{
    .id = 0, .directory = {}, .set = {}, .loaded = true, .detail = {}, .problems = 0};
const LoadedSet* gConfigured = &kCompiledIn;  // null: the entry was lost (never expected)
bool gAllowDeviations = false;
bool gDefining = false;  // the module is defining the settings

// Called whenever either setting takes a value: which set the calls use.
void update_in_use() {
  const LoadedSet* c = gConfigured;
  gSetInUse.set = c != nullptr ? c->set.get() : nullptr;
  gSetInUse.refused = c == nullptr || !c->loaded || (c->deviates() && !gAllowDeviations);
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

// A SET from the session checks the set and refuses it with its problems.
// Values from elsewhere are taken whatever their set is, so that calls fail
// rather than group with the compiled-in lists: the server would drop a
// refused value from postgresql.conf or ALTER ... SET with a warning, or with
// a log line on a reload. ALTER ... SET is checked (PGC_S_TEST), but not for
// deviations, which a setting of the same database or role may allow. A
// parallel worker takes its leader's values as they are.
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
    if (checks_strictly(source) && source == PGC_S_SESSION && entry->deviates() &&
        !gAllowDeviations) {
      GUC_check_errdetail("The set deviates from the documented contents in %d points:\n%s",
                          entry->problems, entry->detail.c_str());
      GUC_check_errhint("Set cmg290.tier_tables_allow_deviations to on first to accept it.");
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
