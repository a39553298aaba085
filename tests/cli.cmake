# Tests of the cmg290 command-line tool (tools/): its pieces on their own,
# and the built binary run end to end on files in a scratch folder.
if(TARGET cmg290_cli)
  find_package(nlohmann_json 3 REQUIRED)

  # cmg290_cli_test(NAME SOURCES file... [LINKS target...] [INCLUDES dir...]
  #                 [RUNS_TOOL] [WHEN_ASKED])
  # makes the test executable NAME, whose tests CTest knows as cli.*. With
  # RUNS_TOOL its tests run the built command (cli/cli_fixture.h): it is
  # built first, and the fixture's library and JSON reader are linked. With
  # WHEN_ASKED it is built only when named, and CTest does not list it.
  function(cmg290_cli_test name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "RUNS_TOOL;WHEN_ASKED" "" "SOURCES;LINKS;INCLUDES")
    if(arg_WHEN_ASKED)
      add_executable(${name} EXCLUDE_FROM_ALL ${arg_SOURCES})
    else()
      add_executable(${name} ${arg_SOURCES})
    endif()
    target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${arg_INCLUDES})
    target_link_libraries(${name} PRIVATE ${arg_LINKS} GTest::gtest_main)
    if(arg_RUNS_TOOL)
      target_link_libraries(${name} PRIVATE cmg290_static nlohmann_json::nlohmann_json)
      target_compile_definitions(${name} PRIVATE
        CMG290_CLI="$<TARGET_FILE:cmg290_cli>"
        CMG290_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
      if(CMG290_SANITIZE)
        # Sanitizers multiply memory use; the resident-memory bound is
        # checked in the plain build only.
        target_compile_definitions(${name} PRIVATE CMG290_SANITIZED)
      endif()
      add_dependencies(${name} cmg290_cli)
    endif()
    if(NOT arg_WHEN_ASKED)
      gtest_discover_tests(${name} TEST_PREFIX cli. DISCOVERY_TIMEOUT 60)
    endif()
  endfunction()

  cmg290_cli_test(cli_tests RUNS_TOOL
    SOURCES cli/cli_test.cpp cli/input_test.cpp cli/output_test.cpp cli/wording_test.cpp
            cli/tier_set_cli_test.cpp cli/edits_cli_test.cpp cli/fixture_test.cpp
            cli/gzip_input_test.cpp)
  # The runs and inputs of cli_tests alone (among them a run on one thread
  # against four, and files read in place against pipes), for the
  # ThreadSanitizer stage of .ci/run; CTest runs them in cli_tests.
  cmg290_cli_test(cli_thread_tests RUNS_TOOL WHEN_ASKED SOURCES cli/cli_test.cpp cli/input_test.cpp)

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
  cmg290_cli_test(cli_line_reader_tests SOURCES cli/line_reader_test.cpp cli/gzip_source_test.cpp
    LINKS cmg290_frontend ZLIB::ZLIB)

  # The reader of the inputs that cmg290 group and cmg290 compare share.
  cmg290_cli_test(cli_chunk_reader_tests SOURCES cli/chunk_reader_test.cpp cli/chunk_queue_test.cpp
    LINKS cmg290_cli_shared)

  # The output file: several pending at once, committed together.
  cmg290_cli_test(cli_output_file_tests SOURCES cli/output_file_test.cpp LINKS cmg290_cli_shared)

  # The writers of result rows' pieces, and the CSV records and cells the
  # subcommands share.
  cmg290_cli_test(cli_row_text_tests SOURCES cli/row_text_test.cpp cli/csv_records_test.cpp
    LINKS cmg290_frontend INCLUDES ${PROJECT_SOURCE_DIR}/tools)

  # Reading regular files in place through mapped windows.
  cmg290_cli_test(cli_mapped_reader_tests SOURCES cli/mapped_reader_test.cpp
    LINKS cmg290_frontend)

  # cmg290 explain and cmg290 build.
  cmg290_cli_test(cli_explain_tests RUNS_TOOL SOURCES cli/explain_test.cpp)

  # The CSV form of the tier lists (tables export and import), and the two
  # subcommands run end to end.
  cmg290_cli_test(cli_tables_tests RUNS_TOOL SOURCES cli/tier_csv_test.cpp cli/tables_test.cpp
    LINKS cmg290_tier_csv)

  # Tier-table sets through the command: tables export --all, tables check
  # DIR, tables import into a set, tables diff, and cmg290 compare.
  cmg290_cli_test(cli_tier_set_tests RUNS_TOOL
    SOURCES cli/tier_sets_test.cpp cli/compare_test.cpp cli/tables_diff_test.cpp
            cli/tier_set_pin_test.cpp)

  # cmg290 report: the weights file's checks, the counts behind the figures,
  # and the command's refusals and page.
  cmg290_cli_test(cli_report_tests RUNS_TOOL SOURCES cli/report_test.cpp cli/compare_report_test.cpp
    LINKS cmg290_report INCLUDES ${PROJECT_SOURCE_DIR}/tools)

  # The report's figures computed independently from `cmg290 group --edits
  # -f jsonl` over 100,000 sample records, and its page's tables against its
  # JSON.
  if(NOT CMG290_SANITIZE)
    add_test(NAME cli.report_figures
             COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/report/report_figures_test.py
                     $<TARGET_FILE:cmg290_cli> ${PROJECT_SOURCE_DIR}
                     ${CMAKE_CURRENT_BINARY_DIR}/report_figures)
    set_tests_properties(cli.report_figures PROPERTIES TIMEOUT 120)
  endif()
endif()
