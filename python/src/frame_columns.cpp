#include "frame_columns.h"

#include <string>
#include <unordered_map>

#include "batch/edit_rows.h"
#include "batch/group_batch.h"
#include "vocabulary.h"

namespace py = pybind11;

namespace cmg290::python {

namespace {

using batch::EditKey;
using batch::KeyRange;
using batch::TextKey;

py::array object_column(std::size_t n) {
  // NumPy fills a new object array with null pointers, which every row
  // then replaces.
  return py::array(py::dtype("O"), std::vector<py::ssize_t>{static_cast<py::ssize_t>(n)},
                   std::vector<py::ssize_t>{});
}

PyObject** objects(py::array& a) {
  return static_cast<PyObject**>(a.mutable_data());
}

// Points every row of the edits column at the string of its codes, one
// string per distinct list of codes; the maps hold a reference to each
// until every row has taken its own. A row of more edits than a key holds
// is grouped again here, with the GIL, for its codes.
void fill_edit_column(const std::vector<EditKey>& keys, PyObject** column,
                      const batch::RecordSource& source, const batch::BatchSettings& settings) {
  std::unordered_map<EditKey, py::str> strings;
  std::unordered_map<std::string, py::str> longLists;
  EditKey last = batch::kManyEdits;
  PyObject* lastText = nullptr;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    PyObject* text = lastText;
    if (keys[i] == batch::kManyEdits) {
      char room[cmg290::kRecordLength];
      std::string_view record;
      source.get(i, room, record);  // every Python source is ready
      cmg290::Edits edits;
      batch::find_record_edits(record, batch::group_one(record, settings.tierSet), settings.tierSet,
                               edits);
      const std::string codes = batch::edit_codes_text(edits);
      auto found = longLists.find(codes);
      if (found == longLists.end()) found = longLists.emplace(codes, py::str(codes)).first;
      text = found->second.ptr();
    } else if (keys[i] != last) {
      auto found = strings.find(keys[i]);
      if (found == strings.end()) {
        found = strings.emplace(keys[i], py::str(batch::edit_key_text(keys[i]))).first;
      }
      last = keys[i];
      text = lastText = found->second.ptr();
    }
    Py_INCREF(text);
    column[i] = text;
  }
}

// A text of one result, found by grouping its record again: for a row
// whose key the engine lacks (a text no table gives today).
using OddText = std::string (*)(const cmg290::Result& r);

std::string description_text(const cmg290::Result& r) {
  return cmg290::status_text(r.status);
}
std::string cmg_text(const cmg290::Result& r) {
  return r.cmg;
}
std::string tier_text(const cmg290::Result& r) {
  return std::string(r.cmg, 1);
}
std::string ric_text(const cmg290::Result& r) {
  return std::string(r.cmg).substr(1, 2);
}
std::string table_version_text(const cmg290::Result& r) {
  return r.tableVersion;
}
std::string grouper_version_text(const cmg290::Result& r) {
  return r.grouperVersion;
}

// A categorical column of a text column's keys: (codes, categories), the
// categories the texts of `range` in key order, so that every frame's
// column has the same ones; a code -1 for kNoText. A row of another key is
// grouped again here, with the GIL, and its text added to the categories.
py::tuple categorical(const std::vector<TextKey>& keys, KeyRange range,
                      const batch::RecordSource& source, const batch::BatchSettings& settings,
                      OddText odd) {
  const Vocabulary& vocabulary = python::vocabulary();
  // Keys of the same text (the description of every status no pass gives)
  // are one category.
  py::list categories;
  std::unordered_map<std::string, std::int16_t> extra;
  std::vector<std::int16_t> codeOfKey(range.count);
  for (int k = 0; k < range.count; ++k) {
    const TextKey key = static_cast<TextKey>(range.first + k);
    const auto [found, added] = extra.emplace(std::string(batch::text_keys().text(key)),
                                              static_cast<std::int16_t>(py::len(categories)));
    if (added) categories.append(py::reinterpret_borrow<py::str>(vocabulary.string(key)));
    codeOfKey[static_cast<std::size_t>(k)] = found->second;
  }
  py::array_t<std::int16_t> codes(static_cast<py::ssize_t>(keys.size()));
  std::int16_t* at = codes.mutable_data();
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const TextKey key = keys[i];
    if (key == batch::kNoText) {
      at[i] = -1;
    } else if (key >= range.first && key < range.first + range.count) {
      at[i] = codeOfKey[key - range.first];
    } else {
      char room[cmg290::kRecordLength];
      std::string_view record;
      source.get(i, room, record);  // every Python source is ready
      const std::string text = odd(batch::group_one(record, settings.tierSet));
      auto found = extra.find(text);
      if (found == extra.end()) {
        found = extra.emplace(text, static_cast<std::int16_t>(py::len(categories))).first;
        categories.append(py::reinterpret_steal<py::str>(
            PyUnicode_DecodeLatin1(text.data(), static_cast<Py_ssize_t>(text.size()), nullptr)));
      }
      at[i] = found->second;
    }
  }
  return py::make_tuple(codes, categories);
}

}  // namespace

FrameColumns::FrameColumns(std::size_t rows, bool edits, const std::optional<cli::IdRange>& id)
    : n(rows),
      status(n),
      cognitive(n),
      age(n),
      motor(n),
      cognitiveMissing(n),
      ageMissing(n),
      description(n),
      cmg(n),
      tier(n),
      ric(n),
      tableVersion(n),
      grouperVersion(n),
      editKeys(edits ? n : 0),
      ids(id, n) {
  columns.status = {status.mutable_data(), true};
  columns.cognitiveScore = {cognitive.mutable_data(), true};
  columns.age = {age.mutable_data(), true};
  columns.motorScore = motor.mutable_data();
  columns.cognitiveMissing = cognitiveMissing.mutable_data();
  columns.ageMissing = ageMissing.mutable_data();
  columns.description = description.data();
  columns.cmg = cmg.data();
  columns.tier = tier.data();
  columns.ric = ric.data();
  columns.tableVersion = tableVersion.data();
  columns.grouperVersion = grouperVersion.data();
  columns.edits = edits ? editKeys.data() : nullptr;
  columns.id = ids.ids;
}

py::tuple FrameColumns::finish(const batch::RecordSource& source,
                               const batch::BatchSettings& settings) {
  const batch::TextKeys& keys = batch::text_keys();
  auto text = [&](const std::vector<TextKey>& column, KeyRange range, OddText odd) {
    return categorical(column, range, source, settings, odd);
  };
  py::object editColumn = py::none();
  if (settings.edits) {
    py::array texts = object_column(n);
    fill_edit_column(editKeys, objects(texts), source, settings);
    editColumn = texts;
  }
  return py::make_tuple(status, text(description, keys.descriptions(), description_text),
                        text(cmg, keys.cmgs(), cmg_text), text(tier, keys.tiers(), tier_text),
                        text(ric, keys.rics(), ric_text), motor, cognitive, cognitiveMissing, age,
                        ageMissing, text(tableVersion, keys.table_versions(), table_version_text),
                        text(grouperVersion, keys.grouper_versions(), grouper_version_text),
                        editColumn, ids.column());
}

}  // namespace cmg290::python
