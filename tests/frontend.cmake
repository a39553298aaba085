# The front ends' shared code on its own: the batch engine of the Python
# module and the R package (frontend/batch/), and its record-file reader.
# zlib makes the gzip files the path readers are tried on.
find_package(ZLIB REQUIRED)
add_executable(frontend_tests frontend/batch_test.cpp frontend/batch_keys_test.cpp
                              frontend/edit_rows_test.cpp frontend/file_batch_test.cpp
                              frontend/path_batch_test.cpp frontend/record_file_test.cpp
                              frontend/batch_columns_test.cpp)
target_include_directories(frontend_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(frontend_tests PRIVATE cmg290_frontend GTest::gtest_main ZLIB::ZLIB)
target_compile_definitions(frontend_tests PRIVATE CMG290_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
gtest_discover_tests(frontend_tests TEST_PREFIX frontend. DISCOVERY_TIMEOUT 60)

# The engine's lists of edits when memory runs out: a program of its own,
# since it replaces operator new.
add_executable(frontend_memory_tests frontend/edit_rows_memory_test.cpp)
target_include_directories(frontend_memory_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(frontend_memory_tests PRIVATE cmg290_frontend GTest::gtest_main)
target_compile_definitions(frontend_memory_tests PRIVATE CMG290_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
gtest_discover_tests(frontend_memory_tests TEST_PREFIX frontend. DISCOVERY_TIMEOUT 60)
