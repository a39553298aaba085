# Every source file has one owner: the nearest folder above it whose
# CMakeLists.txt the build reads and compiles something (a folder that only
# names headers, with an INTERFACE library, leaves its sources to the folder
# above). Only the targets defined in the owner (its CMakeLists.txt and the
# files that includes) compile the file; any other target links a library
# of the owner's instead. A target that compiles
# another folder's file by path hides a dependency from the layout, so
# cmg290_check_source_owners() refuses the configuration, naming target and
# file.
#
# Files generated in the build tree, and sources given as generator
# expressions ($<TARGET_OBJECTS:...>), are not checked. A file pulled in
# with #include "x.cpp" is beyond what CMake sees.

# The sources of `target` in `out`: those it compiles, and those it has
# whoever links it compile; none when it has none.
function(_cmg290_sources target out)
  set(all "")
  foreach(property SOURCES INTERFACE_SOURCES)
    get_target_property(sources ${target} ${property})
    if(sources)
      list(APPEND all ${sources})
    endif()
  endforeach()
  set(${out} "${all}" PARENT_SCOPE)
endfunction()

# Appends to `out` the folder `dir` and every folder below it that the build
# reads, and to `owners` those of them that compile something.
function(_cmg290_read_folders dir out owners)
  set(folders ${${out}} ${dir})
  set(compiling ${${owners}})
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    _cmg290_sources(${target} sources)
    if(sources)
      list(APPEND compiling ${dir})
      break()
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    _cmg290_read_folders(${sub} folders compiling)
  endforeach()
  set(${out} ${folders} PARENT_SCOPE)
  set(${owners} ${compiling} PARENT_SCOPE)
endfunction()

# The nearest of `folders` that holds `file` (the deepest one), in `out`.
function(_cmg290_owner file folders out)
  set(owner "")
  string(LENGTH "" ownerLength)
  foreach(folder IN LISTS folders)
    cmake_path(IS_PREFIX folder "${file}" NORMALIZE holds)
    string(LENGTH "${folder}" length)
    if(holds AND length GREATER ownerLength)
      set(owner ${folder})
      set(ownerLength ${length})
    endif()
  endforeach()
  set(${out} ${owner} PARENT_SCOPE)
endfunction()

function(cmg290_check_source_owners)
  set(folders "")
  set(owners "")
  _cmg290_read_folders(${PROJECT_SOURCE_DIR} folders owners)
  set(faults "")
  foreach(folder IN LISTS folders)
    get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
      _cmg290_sources(${target} sources)
      foreach(source IN LISTS sources)
        if(source MATCHES "^\\$<")
          continue()
        endif()
        cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${folder} NORMALIZE OUTPUT_VARIABLE file)
        cmake_path(IS_PREFIX PROJECT_BINARY_DIR "${file}" NORMALIZE generated)
        if(generated OR NOT EXISTS "${file}")
          continue()
        endif()
        cmake_path(IS_PREFIX PROJECT_SOURCE_DIR "${file}" NORMALIZE ours)
        if(NOT ours)
          continue()
        endif()
        _cmg290_owner("${file}" "${owners}" owner)
        if(NOT owner STREQUAL folder)
          file(RELATIVE_PATH shown ${PROJECT_SOURCE_DIR} ${file})
          file(RELATIVE_PATH from ${PROJECT_SOURCE_DIR}/ ${folder}/)
          file(RELATIVE_PATH belongs ${PROJECT_SOURCE_DIR}/ ${owner}/)
          string(APPEND faults "\n  target ${target} (./${from}) compiles ${shown}, "
                               "which belongs to ./${belongs}: link a library defined there")
        endif()
      endforeach()
    endforeach()
  endforeach()
  if(faults)
    message(FATAL_ERROR "Sources compiled outside the folder that owns them:${faults}")
  endif()
endfunction()
