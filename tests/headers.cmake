# Every public header compiles alone, with the standard the package promises
# (C++17) and the strictest warnings, so that no header leans on another's
# includes or on a newer standard. It only compiles: not in sanitizer builds,
# where it would find nothing the plain build does not.
if((CMAKE_CXX_COMPILER_ID STREQUAL "GNU" OR CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
   AND NOT CMG290_SANITIZE)
  add_test(NAME headers.compile_alone_as_cxx17
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tools/compile_headers.sh ${CMAKE_CXX_COMPILER}
                   ${PROJECT_SOURCE_DIR}/include c++17)
endif()
