# The R package's tests under CTest, with the package installed in
# build/r/lib by the cmg290_r target:
#   r_tests  the testthat suite, with the agreement test against the built
#            command (CMG290);
#   r_check  R CMD build and R CMD check of the package: no ERROR, no WARNING.
add_test(NAME r_tests
  COMMAND ${CMG290_RSCRIPT} --vanilla -e
          "testthat::test_dir('${CMAKE_CURRENT_SOURCE_DIR}/tests/testthat', package = 'cmg290', load_package = 'installed', reporter = testthat::ProgressReporter$new(show_praise = FALSE), stop_on_failure = TRUE)"
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/r)
set_tests_properties(r_tests PROPERTIES
  ENVIRONMENT "R_LIBS=${CMG290_R_LIBRARY};$<$<TARGET_EXISTS:cmg290_cli>:CMG290=$<TARGET_FILE:cmg290_cli>>"
  LABELS r TIMEOUT 600)

add_test(NAME r_check
  COMMAND ${CMAKE_COMMAND} -DR=${CMG290_R} -DPACKAGE=${CMG290_R_PACKAGE}
          -DWORK=${PROJECT_BINARY_DIR}/r/check -P ${CMAKE_CURRENT_SOURCE_DIR}/check_package.cmake)
set_tests_properties(r_check PROPERTIES LABELS r TIMEOUT 900 RUN_SERIAL FALSE)
