# cmake -DR=... -DPACKAGE=... -DLIBRARY=... -DLOG=... -P install_package.cmake:
# R CMD INSTALL of the assembled package, its output shown only on failure.
file(MAKE_DIRECTORY ${LIBRARY})
# R's make compiles the package's files one after another unless told
# otherwise, and it is often the last step of a build: on every core.
cmake_host_system_information(RESULT cores QUERY NUMBER_OF_LOGICAL_CORES)
set(ENV{MAKEFLAGS} "-j${cores}")
# Stripped: the shared object is 1 MB instead of 18 with its debug information.
execute_process(COMMAND ${R} CMD INSTALL --strip --library=${LIBRARY} ${PACKAGE}
                OUTPUT_FILE ${LOG} ERROR_FILE ${LOG} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(READ ${LOG} log)
  message(FATAL_ERROR "R CMD INSTALL failed:\n${log}")
endif()
