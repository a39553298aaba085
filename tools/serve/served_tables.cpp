#include "served_tables.h"

#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <exception>
#include <utility>
#include <vector>

#include "exit_codes.h"
#include "routes.h"
#include "tier_tables.h"

namespace cmg290::serve {

namespace {

using SystemClock = std::chrono::system_clock;

// One line of the server's log, written at once so that it does not mingle
// with the request lines that other threads write meanwhile.
void log_line(const std::string& text) {
  const std::string line = "cmg290 serve: " + text + "\n";
  const ssize_t written = ::write(STDERR_FILENO, line.data(), line.size());
  (void)written;
}

std::shared_ptr<const ServedSet> served(std::shared_ptr<const TierSet> set, bool compiled) {
  auto s = std::make_shared<ServedSet>();
  s->loaded = compiled ? nullptr : set.get();
  s->set = std::move(set);
  s->loadedAt = SystemClock::now();
  s->json = tables_json_members(*s->set) + ",\"loaded_at\":\"" + utc_time(s->loadedAt) + "\"";
  return s;
}

double unix_seconds(SystemClock::time_point t) {
  return std::chrono::duration<double>(t.time_since_epoch()).count();
}

// A label value in the Prometheus text format.
std::string label(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

ServedTables::ServedTables(const cli::TierSetChoice& choice) : choice_(choice) {}

ServedTables::~ServedTables() {
  stop();
}

bool ServedTables::load_first() {
  std::shared_ptr<const TierSet> set;
  if (cli::load_tier_set(choice_, set, {.who = "cmg290 serve"}) != cli::kExitClean) {
    return false;
  }
  const std::lock_guard lock(mutex_);
  current_ = served(std::move(set), choice_.directory.empty());
  return true;
}

void ServedTables::start() {
  if (choice_.directory.empty() || thread_.joinable()) return;
  thread_ = std::thread([this] { run(); });
}

void ServedTables::stop() {
  if (!thread_.joinable()) return;
  {
    const std::lock_guard lock(waitMutex_);
    quit_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

std::shared_ptr<const ServedSet> ServedTables::current() const {
  const std::lock_guard lock(mutex_);
  return current_;
}

void ServedTables::request_reload() {
  if (choice_.directory.empty()) {
    log_line("SIGHUP: grouping with the compiled-in lists, which have nothing to reload");
    return;
  }
  {
    const std::lock_guard lock(waitMutex_);
    if (pending_) return;  // merged with the reload already asked for
    pending_ = true;
  }
  wake_.notify_one();
}

void ServedTables::run() {
  std::unique_lock lock(waitMutex_);
  for (;;) {
    wake_.wait(lock, [this] { return pending_ || quit_; });
    if (quit_) return;
    pending_ = false;
    lock.unlock();
    reload();
    lock.lock();
  }
}

bool ServedTables::reload() {
  log_line("SIGHUP: reloading the tier-table set in " + choice_.directory);
  const auto started = std::chrono::steady_clock::now();
  cli::SetRefusal refused;
  std::vector<std::string>& problems = refused.problems;
  std::shared_ptr<const ServedSet> fresh;
  try {
    std::shared_ptr<const TierSet> set = cli::try_load_set(choice_, refused);
    if (set != nullptr) fresh = served(std::move(set), false);
  } catch (const std::exception& e) {
    // Out of memory, most likely: the set in use stays.
    problems.push_back(choice_.directory + ": " + e.what());
  }
  std::shared_ptr<const ServedSet> old;
  {
    const std::lock_guard lock(mutex_);
    old = current_;
    if (fresh != nullptr) {
      current_ = fresh;
      ++succeeded_;
    } else {
      ++failed_;
    }
    lastReload_ = SystemClock::now();
    lastSucceeded_ = fresh != nullptr;
  }
  if (fresh == nullptr) {
    log_line("reload failed: the tier-table set in " + choice_.directory + " cannot be used (" +
             std::to_string(problems.size()) + (problems.size() == 1 ? " problem" : " problems") +
             "); still grouping with " + tier_set_line(*old->set));
    for (const std::string& p : problems) log_line("reload: " + p);
    if (refused.onlyDeviations) {
      log_line(
          "reload: these are deviations from the documented contents of the lists, which a "
          "server started with --allow-deviations takes");
    }
    return false;
  }
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - started)
                      .count();
  const bool same = old->set->digest() == fresh->set->digest();
  log_line("reloaded in " + std::to_string(ms) + " ms: " + tier_set_line(*fresh->set) + " (was " +
           old->set->identity() + (same ? ": the same contents)" : ")"));
  // The old set goes here unless requests still hold it; then with the
  // last of them.
  return true;
}

ServedTables::Snapshot ServedTables::snapshot() const {
  const std::lock_guard lock(mutex_);
  return {current_, succeeded_, failed_, lastReload_, lastSucceeded_};
}

std::string ServedTables::tables_json() const {
  const Snapshot now = snapshot();
  const std::shared_ptr<const ServedSet>& set = now.set;
  const std::uint64_t reloads = now.succeeded + now.failed;
  std::string json = set->json;
  json += ",\"reloads\":{\"succeeded\":" + std::to_string(now.succeeded) +
          ",\"failed\":" + std::to_string(now.failed) + ",\"last\":";
  if (reloads == 0) {
    json += "null";
  } else {
    json += "{\"at\":\"" + utc_time(now.last) +
            "\",\"succeeded\":" + (now.lastSucceeded ? "true" : "false") + "}";
  }
  json += "}}\n";
  return json;
}

std::string ServedTables::metrics_text() const {
  const Snapshot now = snapshot();
  const std::shared_ptr<const ServedSet>& set = now.set;
  const std::uint64_t reloads = now.succeeded + now.failed;
  std::string out;
  char line[160];
  auto add = [&](const char* format, auto... args) {
    const int n = std::snprintf(line, sizeof line, format, args...);
    if (n > 0) out.append(line, static_cast<std::size_t>(n) < sizeof line ? n : sizeof line - 1);
  };
  out += "# HELP cmg290_tier_set_info The tier-table set in use: its name and SHA-256.\n";
  out += "# TYPE cmg290_tier_set_info gauge\n";
  out += "cmg290_tier_set_info{name=\"" + label(set->set->name()) + "\",sha256=\"" +
         set->set->digest() + "\",compiled_in=\"" + (set->loaded == nullptr ? "true" : "false") +
         "\"} 1\n";
  out += "# HELP cmg290_tier_set_loaded_timestamp_seconds When the set in use was loaded.\n";
  out += "# TYPE cmg290_tier_set_loaded_timestamp_seconds gauge\n";
  add("cmg290_tier_set_loaded_timestamp_seconds %.3f\n", unix_seconds(set->loadedAt));
  out +=
      "# HELP cmg290_tier_set_reloads_total Reloads of the tier-table set (SIGHUP), by result.\n";
  out += "# TYPE cmg290_tier_set_reloads_total counter\n";
  add("cmg290_tier_set_reloads_total{result=\"succeeded\"} %" PRIu64 "\n", now.succeeded);
  add("cmg290_tier_set_reloads_total{result=\"failed\"} %" PRIu64 "\n", now.failed);
  out +=
      "# HELP cmg290_tier_set_last_reload_timestamp_seconds When the last reload ended; 0 before "
      "the first.\n";
  out += "# TYPE cmg290_tier_set_last_reload_timestamp_seconds gauge\n";
  add("cmg290_tier_set_last_reload_timestamp_seconds %.3f\n",
      reloads == 0 ? 0.0 : unix_seconds(now.last));
  out += "# HELP cmg290_tier_set_last_reload_successful 1 when the last reload (if any) took.\n";
  out += "# TYPE cmg290_tier_set_last_reload_successful gauge\n";
  add("cmg290_tier_set_last_reload_successful %d\n", now.lastSucceeded ? 1 : 0);
  return out;
}

}  // namespace cmg290::serve
