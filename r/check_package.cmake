# cmake -DR=... -DPACKAGE=... -DWORK=... -P check_package.cmake: R CMD build
# and R CMD check of the assembled package in WORK, but for its tests, which
# r_tests runs; fails on any ERROR or WARNING (NOTEs are shown, not failed on).
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${R} CMD build --no-build-vignettes --no-manual ${PACKAGE}
                WORKING_DIRECTORY ${WORK} RESULT_VARIABLE result
                OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "R CMD build failed:\n${out}")
endif()
file(GLOB tarball ${WORK}/cmg290_*.tar.gz)
# The check looks packages up in the repositories R names: here an empty
# one of its own, so that nothing goes out to the network.
file(WRITE ${WORK}/repository/src/contrib/PACKAGES "")
file(WRITE ${WORK}/Rprofile "options(repos = c(CRAN = 'file://${WORK}/repository'))\n")
set(ENV{R_PROFILE_USER} ${WORK}/Rprofile)
set(ENV{_R_CHECK_FUTURE_FILE_TIMESTAMPS_} false)
set(ENV{_R_CHECK_SYSTEM_CLOCK_} false)
set(ENV{MAKEFLAGS} -j2)
# The testthat suite runs as r_tests against the installed package: the check
# leaves it out (--no-tests) and checks everything else.
execute_process(COMMAND ${R} CMD check --no-manual --no-build-vignettes --no-tests ${tarball}
                WORKING_DIRECTORY ${WORK} RESULT_VARIABLE result
                OUTPUT_VARIABLE out ERROR_VARIABLE out)
message("${out}")
if(NOT result EQUAL 0 OR out MATCHES "Status:[^\n]*(ERROR|WARNING)")
  message(FATAL_ERROR "R CMD check reports errors or warnings")
endif()
