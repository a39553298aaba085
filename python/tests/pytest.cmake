# The Python package's pytest suite, run with Debian's interpreter against
# the package in build/python. Four tests, so that CTest can run them side
# by side: the API itself (tier-table sets among it), agreement with
# `cmg290 group`, a real Dask cluster of two worker processes, and the
# package as cmake --install puts it into a scratch folder. Hypothesis keeps its files in the build folder.
set(CMG290_PYTEST_ENV
  PYTHONPATH=${PROJECT_BINARY_DIR}/python
  PYTHONDONTWRITEBYTECODE=1
  HYPOTHESIS_STORAGE_DIRECTORY=${PROJECT_BINARY_DIR}/python/.hypothesis
  CMG290_EXAMPLES=${PROJECT_SOURCE_DIR}/examples/assessments.txt
  CMG290_BUILD_DIR=${PROJECT_BINARY_DIR}
  CMG290_PYTHON_INSTALL_DIR=${CMG290_PYTHON_INSTALL_DIR}
  CMAKE_COMMAND=${CMAKE_COMMAND})
if(TARGET cmg290_cli)
  list(APPEND CMG290_PYTEST_ENV CMG290_CLI=$<TARGET_FILE:cmg290_cli>)
endif()

function(cmg290_pytest name)
  add_test(NAME python.${name}
           COMMAND ${Python3_EXECUTABLE} -m pytest -q -p no:cacheprovider ${ARGN}
           WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/tests)
  set_tests_properties(python.${name} PROPERTIES ENVIRONMENT "${CMG290_PYTEST_ENV}" TIMEOUT 300)
endfunction()

cmg290_pytest(api test_group.py test_group_frame.py test_read_records.py test_explain.py
               test_tier_set.py test_edits.py test_long_form.py test_frame_keys.py)
cmg290_pytest(agreement test_agreement.py)
cmg290_pytest(dask test_dask.py)
cmg290_pytest(install test_install.py)
