// The workers argument of group_frame and group_columns.
#pragma once

#include <Python.h>

#include <cstddef>

#include "motor_number.h"

namespace cmg290::python {

// The motor score's text as a number (shared with the other front ends).
using cli::motor_number;

// The number of threads for a `workers` argument: -1 means every core this
// process may run on. Throws ValueError for 0 and below -1.
int thread_count(int workers, std::size_t records);

// A `workers` argument as an int, checked before anything else is looked
// at: TypeError for anything that is not an integer (operator.index),
// ValueError for 0 and below -1; numbers past INT_MAX are INT_MAX.
int workers_argument(PyObject* workers);

}  // namespace cmg290::python
