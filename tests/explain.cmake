# The explanation's JSON is checked by parsing it back (tests/unit/explain_json_test.cpp).
find_package(nlohmann_json 3 REQUIRED)
target_link_libraries(unit_tests PRIVATE nlohmann_json::nlohmann_json)
target_compile_definitions(unit_tests PRIVATE CMG290_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
