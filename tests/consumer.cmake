# The installed library as users' projects see it (tests/consumer/): a
# project of its own built against an install prefix with find_package and
# with pkg-config. Not under sanitizers: the consumer is built without them.
if(TARGET cmg290_cli AND NOT CMG290_SANITIZE)
  add_test(NAME consumer.find_package_and_pkg_config
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/consumer/run.sh ${PROJECT_BINARY_DIR}
                   ${PROJECT_SOURCE_DIR}/examples/assessments.txt ${CMAKE_COMMAND})
  set_tests_properties(consumer.find_package_and_pkg_config PROPERTIES TIMEOUT 300)
endif()
