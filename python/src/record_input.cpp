#include "record_input.h"

#include <pybind11/numpy.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "cmg290/cmg290.h"
#include "record_text.h"

namespace py = pybind11;

namespace cmg290::python {

namespace {

// Reads record i of the checked str and bytes objects `context`, copied to
// `room`; needs no GIL.
bool copy_object(const void* context, std::size_t i, char* room,
                 std::string_view& record) noexcept {
  const std::string_view r = record_bytes(static_cast<PyObject* const*>(context)[i]);
  const std::size_t n = std::min(r.size(), cmg290::kRecordLength);
  std::memcpy(room, r.data(), n);
  record = {room, n};
  return true;
}

// Long labels are cut in messages.
constexpr std::size_t kLabelText = 200;

// A message about element `index` names it by its label when there are
// labels: its first words, "records[17]", become "series.loc[<label>]".
std::string renamed(const std::string& message, std::size_t index, const ElementNames& names) {
  if (!names.labels) return message;
  const std::string prefix = std::string(names.name) + "[" + std::to_string(index) + "]";
  if (message.compare(0, prefix.size(), prefix) != 0) return message;
  std::string label = py::repr(names.labels[py::int_(index)]);
  if (label.size() > kLabelText) label = label.substr(0, kLabelText) + "...";
  return std::string(names.name) + ".loc[" + label + "]" + message.substr(prefix.size());
}

// Runs check(i) for every element, so that its exceptions name the element
// as `names` asks.
template <class Check>
void check_each(std::size_t count, const ElementNames& names, Check check) {
  for (std::size_t i = 0; i < count; ++i) {
    try {
      check(i);
    } catch (const py::type_error& e) {
      throw py::type_error(renamed(e.what(), i, names));
    } catch (const py::value_error& e) {
      throw py::value_error(renamed(e.what(), i, names));
    }
  }
}

// A masked array is read as its data when nothing in it is masked; a masked
// element is refused as None in a list is.
py::array unmasked(const py::array& a, const ElementNames& names) {
  const py::module_ ma = py::module_::import("numpy.ma");
  if (!py::isinstance(a, ma.attr("MaskedArray"))) return a;
  const py::array_t<bool> mask =
      ma.attr("getmaskarray")(a).attr("astype")("bool", py::arg("copy") = false);
  const auto masked = mask.unchecked<1>();
  check_each(static_cast<std::size_t>(a.shape(0)), names, [&](std::size_t i) {
    if (masked(static_cast<py::ssize_t>(i))) {
      throw py::type_error(std::string(names.name) + "[" + std::to_string(i) +
                           "] is masked, expected str or bytes");
    }
  });
  return a.attr("data");
}

// A U array in the machine's byte order, every character checked.
py::array checked_wide(py::array a, const ElementNames& names, batch::RecordSource& source) {
  if (!a.dtype().attr("isnative").cast<bool>()) {
    a = a.attr("astype")(a.dtype().attr("newbyteorder")("="));
  }
  batch::FixedWidth& block = source.block;
  source.count = static_cast<std::size_t>(a.shape(0));
  block.base = static_cast<const char*>(a.data());
  block.stride = a.strides(0);
  block.itemSize = static_cast<std::size_t>(a.itemsize());
  block.wide = true;
  const std::size_t units = block.itemSize / 4;
  check_each(source.count, names, [&](std::size_t i) {
    const char* item = block.base + static_cast<std::ptrdiff_t>(i) * block.stride;
    for (std::size_t k = 0; k < units; ++k) {
      const std::uint32_t c = batch::FixedWidth::code_point(item, k);
      if (c > 0xFF) {
        throw_above_latin1(names.name, static_cast<std::ptrdiff_t>(i), static_cast<Py_UCS4>(c), k);
      }
    }
  });
  return a;
}

}  // namespace

RecordInput record_input(const py::handle& records, const ElementNames& names) {
  RecordInput in;
  if (py::isinstance<py::array>(records)) {
    py::array a = py::reinterpret_borrow<py::array>(records);
    if (a.ndim() != 1) {
      throw py::value_error(std::string(names.name) + " must be a one-dimensional array, not " +
                            std::to_string(a.ndim()) + "-dimensional");
    }
    a = unmasked(a, names);
    const char kind = a.dtype().kind();
    if (kind == 'O') {
      in.keep = a.attr("tolist")();
    } else if (kind == 'S') {
      in.keep = a;
      in.source.count = static_cast<std::size_t>(a.shape(0));
      in.source.block.base = static_cast<const char*>(a.data());
      in.source.block.stride = a.strides(0);
      in.source.block.itemSize = static_cast<std::size_t>(a.itemsize());
      return in;
    } else if (kind == 'U') {
      in.keep = checked_wide(a, names, in.source);
      return in;
    } else {
      throw py::type_error(std::string(names.name) + ": NumPy array of dtype " +
                           std::string(py::str(a.dtype())) +
                           ", expected fixed-width bytes (S1251), str (U) or objects");
    }
  } else if (PyTuple_Check(records.ptr())) {
    in.keep = py::reinterpret_borrow<py::object>(records);
  } else if (PyList_Check(records.ptr())) {
    in.keep = py::reinterpret_steal<py::object>(
        PyList_GetSlice(records.ptr(), 0, PyList_GET_SIZE(records.ptr())));
    if (!in.keep) throw py::error_already_set();
  } else {
    throw py::type_error(std::string(names.name) +
                         " must be a list, tuple, pandas Series or NumPy array, not " +
                         Py_TYPE(records.ptr())->tp_name);
  }
  PyObject* seq = in.keep.ptr();
  const Py_ssize_t n = PySequence_Fast_GET_SIZE(seq);
  PyObject** items = PySequence_Fast_ITEMS(seq);
  check_each(static_cast<std::size_t>(n), names, [&](std::size_t i) {
    check_record_object(items[i], names.name, static_cast<std::ptrdiff_t>(i));
  });
  in.source.count = static_cast<std::size_t>(n);
  in.source.fetch = copy_object;
  in.source.context = items;
  return in;
}

}  // namespace cmg290::python
