# Comorbidity tier tables: the unit tests (tests/unit/tier_tables_test.cpp)
# use the table checks; `cmg290 tables check` must pass on the compiled tables; the data
# files must be what the generator writes (files replaced by official lists
# are skipped).
target_link_libraries(unit_tests PRIVATE cmg290_tables_check)

if(TARGET cmg290_cli)
  add_test(NAME tier_tables_check_command COMMAND cmg290_cli tables check)
endif()

# The generator is Python and runs no code of ours that a sanitizer watches:
# its tests run in the plain build only.
if(NOT CMG290_SANITIZE)
  find_package(Python3 COMPONENTS Interpreter)
  if(Python3_Interpreter_FOUND)
    add_test(NAME tier_tables_generated
             COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/src/tables/tier/gen_tier_tables.py --check)
  endif()

  # The generator's own tests: its options (--help, a mistyped option writes
  # nothing) and lists replaced by hand surviving a rerun.
  add_test(NAME tier_tables_generator_command_line
           COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tools/gen_tier_tables_test.py)
endif()
