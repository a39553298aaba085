# End-to-end tests of the cmg290 command-line tool (tools/): they run the
# built binary on files in a scratch folder.
if(TARGET cmg290_cli)
  find_package(nlohmann_json 3 REQUIRED)
  add_executable(cli_tests cli/cli_test.cpp cli/input_test.cpp cli/output_test.cpp
                           cli/wording_test.cpp cli/tier_set_cli_test.cpp
                           cli/edits_cli_test.cpp cli/gzip_input_test.cpp)
  target_include_directories(cli_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(cli_tests PRIVATE cmg290_static nlohmann_json::nlohmann_json
                                          GTest::gtest_main)
  target_compile_definitions(cli_tests PRIVATE
    CMG290_CLI="$<TARGET_FILE:cmg290_cli>"
    CMG290_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  if(CMG290_SANITIZE)
    # Sanitizers multiply memory use; the resident-memory bound is checked in
    # the plain build only.
    target_compile_definitions(cli_tests PRIVATE CMG290_SANITIZED)
  endif()
  add_dependencies(cli_tests cmg290_cli)
  gtest_discover_tests(cli_tests TEST_PREFIX cli. DISCOVERY_TIMEOUT 60)

  # The tests of a run that runs out of memory on one of its threads load
  # this into the tool; sanitizers have allocators of their own, so these
  # tests run in the plain build only.
  add_library(cli_fail_alloc MODULE cli/fail_alloc.cpp)
  target_link_libraries(cli_fail_alloc PRIVATE ${CMAKE_DL_LIBS})
  add_dependencies(cli_tests cli_fail_alloc)
  target_compile_definitions(cli_tests PRIVATE
    CMG290_FAIL_ALLOC_LIBRARY="$<TARGET_FILE:cli_fail_alloc>")

  # The line reader of `cmg290 group` on its own, and its inflating source.
  find_package(ZLIB REQUIRED)
  add_executable(cli_line_reader_tests cli/line_reader_test.cpp cli/gzip_source_test.cpp)
  target_include_directories(cli_line_reader_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(cli_line_reader_tests PRIVATE cmg290_frontend ZLIB::ZLIB GTest::gtest_main)
  gtest_discover_tests(cli_line_reader_tests TEST_PREFIX cli. DISCOVERY_TIMEOUT 60)

  # The reader of the inputs that cmg290 group and cmg290 compare share.
  add_executable(cli_chunk_reader_tests cli/chunk_reader_test.cpp cli/chunk_queue_test.cpp)
  target_link_libraries(cli_chunk_reader_tests PRIVATE cmg290_cli_shared GTest::gtest_main)
  gtest_discover_tests(cli_chunk_reader_tests TEST_PREFIX cli. DISCOVERY_TIMEOUT 60)

  # The writers of result rows' pieces, and the CSV records and cells the
  # subcommands share.
  add_executable(cli_row_text_tests cli/row_text_test.cpp cli/csv_records_test.cpp)
  target_include_directories(cli_row_text_tests PRIVATE ${PROJECT_SOURCE_DIR}/tools)
  target_link_libraries(cli_row_text_tests PRIVATE cmg290_frontend GTest::gtest_main)
  gtest_discover_tests(cli_row_text_tests TEST_PREFIX cli. DISCOVERY_TIMEOUT 60)

  # Reading regular files in place through mapped windows.
  add_executable(cli_mapped_reader_tests cli/mapped_reader_test.cpp)
  target_include_directories(cli_mapped_reader_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(cli_mapped_reader_tests PRIVATE cmg290_frontend GTest::gtest_main)
  gtest_discover_tests(cli_mapped_reader_tests TEST_PREFIX cli. DISCOVERY_TIMEOUT 60)

  # cmg290 explain and cmg290 build.
  add_executable(cli_explain_tests cli/explain_test.cpp)
  target_include_directories(cli_explain_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(cli_explain_tests PRIVATE cmg290_static nlohmann_json::nlohmann_json
                                                  GTest::gtest_main)
  target_compile_definitions(cli_explain_tests PRIVATE
    CMG290_CLI="$<TARGET_FILE:cmg290_cli>"
    CMG290_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  add_dependencies(cli_explain_tests cmg290_cli)
  gtest_discover_tests(cli_explain_tests TEST_PREFIX cli. DISCOVERY_TIMEOUT 60)
endif()

# The CSV form of the tier lists (tables export and import), and the two
# subcommands run end to end.
if(TARGET cmg290_cli)
  add_executable(cli_tables_tests cli/tier_csv_test.cpp cli/tables_test.cpp)
  target_link_libraries(cli_tables_tests PRIVATE cmg290_tier_csv GTest::gtest_main)
  target_compile_definitions(cli_tables_tests PRIVATE
    CMG290_CLI="$<TARGET_FILE:cmg290_cli>"
    CMG290_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  add_dependencies(cli_tables_tests cmg290_cli)
  gtest_discover_tests(cli_tables_tests TEST_PREFIX cli. DISCOVERY_TIMEOUT 60)
endif()

# Tier-table sets through the command: tables export --all, tables check
# DIR, tables import into a set, tables diff, and cmg290 compare.
if(TARGET cmg290_cli)
  add_executable(cli_tier_set_tests cli/tier_sets_test.cpp cli/compare_test.cpp
                                    cli/tables_diff_test.cpp cli/tier_set_pin_test.cpp)
  target_include_directories(cli_tier_set_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(cli_tier_set_tests PRIVATE cmg290_static nlohmann_json::nlohmann_json
                                                   GTest::gtest_main)
  target_compile_definitions(cli_tier_set_tests PRIVATE
    CMG290_CLI="$<TARGET_FILE:cmg290_cli>"
    CMG290_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  add_dependencies(cli_tier_set_tests cmg290_cli)
  gtest_discover_tests(cli_tier_set_tests TEST_PREFIX cli. DISCOVERY_TIMEOUT 60)
endif()
