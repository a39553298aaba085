#include "edit_column.h"

#include <pybind11/pybind11.h>

namespace py = pybind11;

namespace cmg290::python {

EditTexts::EditTexts() {
  keys_.emplace_back();
  slots_.emplace(std::string(), kNone);
}

std::uint32_t EditTexts::slot(const cmg290::Edits& edits) {
  if (edits.empty()) return kNone;
  char key[cmg290::Edits::kCapacity];
  for (int i = 0; i < edits.count; ++i) key[i] = static_cast<char>(edits.items[i].id);
  const std::string_view k(key, static_cast<std::size_t>(edits.count));
  const auto found = slots_.find(k);
  if (found != slots_.end()) return found->second;
  const auto slot = static_cast<std::uint32_t>(keys_.size());
  keys_.emplace_back(k);
  slots_.emplace(keys_.back(), slot);
  return slot;
}

std::string joined_codes(std::string_view key) {
  cmg290::Edits edits;
  for (const char id : key) {
    edits.items[edits.count++].id = static_cast<cmg290::EditCode>(id);
  }
  std::string text(cmg290::edit_codes_room(edits), '\0');
  text.resize(static_cast<std::size_t>(cmg290::write_edit_codes(text.data(), edits) - text.data()));
  return text;
}

void fill_edit_column(const EditColumn& edits, PyObject** column) {
  // One string per distinct text, whichever threads saw it; the map holds a
  // reference to each until every row has taken its own.
  std::unordered_map<std::string, py::str> strings;
  for (const ThreadEdits& thread : edits.threads) {
    std::vector<PyObject*> bySlot(thread.texts.size());
    for (std::uint32_t s = 0; s < bySlot.size(); ++s) {
      const std::string& key = thread.texts.key(s);
      auto found = strings.find(key);
      if (found == strings.end()) found = strings.emplace(key, py::str(joined_codes(key))).first;
      bySlot[s] = found->second.ptr();
    }
    for (const RowRun& run : thread.runs) {
      for (std::size_t row = run.first; row < run.last; ++row) {
        PyObject* text = bySlot[edits.slots[row]];
        Py_INCREF(text);
        column[row] = text;
      }
    }
  }
}

}  // namespace cmg290::python
