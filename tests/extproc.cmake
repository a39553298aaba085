# The database boundary (src/extproc), driven through a host that stands in
# for the database's external-procedure agent.
add_library(extproc_host OBJECT extproc/oci_host.cpp)
target_include_directories(extproc_host PUBLIC ${PROJECT_SOURCE_DIR}/src
                                               ${CMAKE_CURRENT_SOURCE_DIR})

# Loads the built libcmg290.so with dlopen as the agent does; the library
# resolves the platform functions from this executable.
add_executable(extproc_tests extproc/callcmg290_test.cpp)
target_link_libraries(extproc_tests PRIVATE extproc_host GTest::gtest_main ${CMAKE_DL_LIBS})
target_compile_definitions(extproc_tests PRIVATE
  CMG290_SHARED_LIBRARY="$<TARGET_FILE:cmg290>")
set_target_properties(extproc_tests PROPERTIES ENABLE_EXPORTS ON)
add_dependencies(extproc_tests cmg290)
gtest_discover_tests(extproc_tests TEST_PREFIX extproc. DISCOVERY_TIMEOUT 60)

# The formatting of a raised message (src/extproc/call_context.h), called
# directly.
add_executable(extproc_module_tests extproc/message_format_test.cpp)
target_link_libraries(extproc_module_tests PRIVATE extproc_host cmg290_static GTest::gtest_main)
gtest_discover_tests(extproc_module_tests TEST_PREFIX extproc. DISCOVERY_TIMEOUT 60)

# A program that links libcmg290.so as users do, without the agent's
# platform functions.
add_executable(extproc_unhosted_tests extproc/unhosted_test.cpp)
target_link_libraries(extproc_unhosted_tests PRIVATE cmg290 GTest::gtest_main)
gtest_discover_tests(extproc_unhosted_tests TEST_PREFIX extproc. DISCOVERY_TIMEOUT 60)

# What the shipped library leaves to the loading process, and what it needs.
add_test(NAME extproc.library_symbols
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/extproc/check_symbols.sh $<TARGET_FILE:cmg290>)
