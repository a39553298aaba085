# cmake -DWORK=DIR -P run_source_owners_test.cmake: configures the project in
# test_source_owners/ with each FAULT and checks that the configuration is
# refused exactly when a target compiles another folder's file, naming the
# target and the file.
cmake_minimum_required(VERSION 3.25)
set(project ${CMAKE_CURRENT_LIST_DIR}/test_source_owners)
set(cases
  "none|-"
  "relative|target app (./app) compiles lib/lib.cpp, which belongs to ./lib"
  "absolute|target app (./app) compiles lib/part/part.cpp, which belongs to ./lib"
  "upward|target top (./) compiles lib/lib.cpp, which belongs to ./lib"
  "interface|target headers (./headers) compiles lib/lib.cpp, which belongs to ./lib")
set(failures "")
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 fault)
  list(GET parts 1 expected)
  set(build ${WORK}/${fault})
  file(REMOVE_RECURSE ${build})
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${project} -B ${build} -DFAULT=${fault}
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(REGEX REPLACE "[ \n]+" " " err "${err}")
  if(expected STREQUAL "-")
    if(NOT result EQUAL 0)
      string(APPEND failures "\n${fault}: refused: ${err}")
    endif()
  elseif(result EQUAL 0)
    string(APPEND failures "\n${fault}: not refused")
  else()
    string(FIND "${err}" "${expected}" at)
    if(at EQUAL -1)
      string(APPEND failures "\n${fault}: refused without \"${expected}\": ${err}")
    endif()
  endif()
endforeach()
if(failures)
  message(FATAL_ERROR "source owners:${failures}")
endif()
