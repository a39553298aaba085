#include "group_columns.h"
#include "thread_count.h"

#include <pybind11/pybind11.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <string>
#include <system_error>
#include <thread>

#include "cmg290/status.h"

namespace cmg290::python {

namespace {

// Rows a thread takes at a time, and the fewest rows worth a thread.
constexpr std::size_t kBatchRows = 4096;
constexpr std::size_t kRowsPerThread = 16384;

// Records are read from all over their 1251 bytes, an order the hardware
// does not foresee in a large array. Copying a few of them at a time into a
// small buffer reads memory straight through, and the grouper then finds
// them in the cache.
constexpr std::size_t kStageRows = 32;

void stage(const RecordSource& source, std::size_t first, std::size_t rows, char* buffer,
           std::string_view* staged) {
  for (std::size_t k = 0; k < rows; ++k) {
    char* to = buffer + k * cmg290::kRecordLength;
    staged[k] = {to, source.copy(first + k, to)};
  }
}

[[noreturn]] void refuse_workers(const std::string& got) {
  throw pybind11::value_error(
      "workers must be a positive number of threads, or -1 for all cores; got " + got);
}

PyObject* text_cell(int slot, const Vocabulary& vocabulary, std::uint64_t* uses) {
  if (slot < 0) return nullptr;
  ++uses[slot];
  return vocabulary.string(slot);
}

}  // namespace

bool fill_row(const cmg290::Result& r, const Vocabulary& vocabulary, const Columns& c,
              std::size_t row, std::uint64_t* uses) noexcept {
  const bool grouped = cmg290::reaches_cmg_and_scores(r.status);
  c.status[row] = r.status;
  c.description[row] = text_cell(vocabulary.description(r.status), vocabulary, uses);
  c.cmg[row] = text_cell(grouped ? vocabulary.cmg(r.cmg) : Vocabulary::kNone, vocabulary, uses);
  c.motorScore[row] =
      grouped ? motor_number(r.motorScore) : std::numeric_limits<double>::quiet_NaN();
  c.cognitiveScore[row] = grouped ? r.cognitiveScore : 0;
  c.cognitiveMissing[row] = !grouped;
  const bool aged = cmg290::reaches_age(r.status);
  c.age[row] = aged ? r.age : 0;
  c.ageMissing[row] = !aged;
  c.tableVersion[row] = text_cell(vocabulary.table_version(r.tableVersion), vocabulary, uses);
  c.grouperVersion[row] = text_cell(vocabulary.grouper_version(r.grouperVersion), vocabulary, uses);
  return c.description[row] != nullptr && c.cmg[row] != nullptr && c.tableVersion[row] != nullptr &&
         c.grouperVersion[row] != nullptr;
}

GroupingCounts group_columns(const RecordSource& source, const Columns& columns,
                             const Vocabulary& vocabulary, int threads, const cmg290::TierSet* set,
                             EditColumn* edits) {
  const std::size_t slots = vocabulary.size();
  const auto count = static_cast<std::size_t>(std::max(threads, 1));
  std::vector<GroupingCounts> perThread(count);
  for (GroupingCounts& t : perThread) t.uses.assign(slots, 0);
  if (edits != nullptr) edits->threads.resize(count);
  std::atomic<std::size_t> next{0};

  auto work = [&](std::size_t thread) {
    GroupingCounts& mine = perThread[thread];
    ThreadEdits* myEdits = edits != nullptr ? &edits->threads[thread] : nullptr;
    std::uint64_t* uses = mine.uses.data();
    std::unique_ptr<char[]> buffer(new char[kStageRows * cmg290::kRecordLength]);
    cmg290::Edits found;
    for (;;) {
      const std::size_t begin = next.fetch_add(kBatchRows, std::memory_order_relaxed);
      if (begin >= source.count) return;
      const std::size_t end = std::min(source.count, begin + kBatchRows);
      if (myEdits != nullptr) myEdits->runs.push_back({begin, end});
      for (std::size_t i = begin; i < end; i += kStageRows) {
        const std::size_t rows = std::min(kStageRows, end - i);
        std::string_view staged[kStageRows];
        stage(source, i, rows, buffer.get(), staged);
        for (std::size_t k = 0; k < rows; ++k) {
          const cmg290::Result r =
              set != nullptr ? cmg290::group(staged[k], *set) : cmg290::group(staged[k]);
          if (!fill_row(r, vocabulary, columns, i + k, uses)) {
            ++mine.unknownTexts;
          }
          if (myEdits == nullptr) continue;
          if (set != nullptr) {
            cmg290::find_edits(staged[k], r, *set, found);
          } else {
            cmg290::find_edits(staged[k], r, found);
          }
          edits->slots[i + k] = myEdits->texts.slot(found);
        }
      }
    }
  };

  // A thread that fails (memory ran out) stops and leaves its rows to the
  // others; the failure goes back to the caller with the counts of what
  // was filled, never out of a thread, which would end the process.
  std::vector<std::exception_ptr> failures(count);
  auto guarded = [&](std::size_t thread) {
    try {
      work(thread);
    } catch (...) {
      failures[thread] = std::current_exception();
    }
  };
  std::vector<std::thread> helpers;
  for (std::size_t t = 1; t < count; ++t) {
    try {
      helpers.emplace_back(guarded, t);
    } catch (const std::system_error&) {
      break;  // fewer threads than asked for: the others share the work
    }
  }
  guarded(0);
  for (std::thread& h : helpers) h.join();

  GroupingCounts total;
  total.uses.assign(slots, 0);
  for (const GroupingCounts& t : perThread) {
    for (std::size_t s = 0; s < slots; ++s) total.uses[s] += t.uses[s];
    total.unknownTexts += t.unknownTexts;
  }
  for (const std::exception_ptr& f : failures) {
    if (f) total.failure = f;
  }
  return total;
}

int workers_argument(PyObject* workers) {
  PyObject* index = PyNumber_Index(workers);
  if (index == nullptr) {
    if (!PyErr_ExceptionMatches(PyExc_TypeError)) throw pybind11::error_already_set();
    PyErr_Clear();
    throw pybind11::type_error(std::string("workers must be an integer, not ") +
                               Py_TYPE(workers)->tp_name);
  }
  int overflow = 0;
  const long long value = PyLong_AsLongLongAndOverflow(index, &overflow);
  Py_DECREF(index);
  if (overflow > 0 || value > std::numeric_limits<int>::max()) {
    return std::numeric_limits<int>::max();
  }
  if (overflow < 0) refuse_workers("a number below -1");
  if (value == 0 || value < -1) refuse_workers(std::to_string(value));
  return static_cast<int>(value);
}

int thread_count(int workers, std::size_t records) {
  if (workers == 0 || workers < -1) refuse_workers(std::to_string(workers));
  return cli::useful_threads(workers, records);
}

}  // namespace cmg290::python
