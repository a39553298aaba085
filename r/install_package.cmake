# cmake -DR=... -DPACKAGE=... -DLIBRARY=... -DLOG=... -P install_package.cmake:
# R CMD INSTALL of the assembled package, its output shown only on failure.
file(MAKE_DIRECTORY ${LIBRARY})
# Stripped: the shared object is 1 MB instead of 18 with its debug information.
execute_process(COMMAND ${R} CMD INSTALL --strip --library=${LIBRARY} ${PACKAGE}
                OUTPUT_FILE ${LOG} ERROR_FILE ${LOG} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(READ ${LOG} log)
  message(FATAL_ERROR "R CMD INSTALL failed:\n${log}")
endif()
