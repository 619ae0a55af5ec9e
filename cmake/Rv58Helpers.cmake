# Build helpers shared by the test and benchmark folders.

# Platform code sits in one file per concern and platform: <concern>_posix.cpp, <concern>_win.cpp.
if(WIN32)
  set(RV58_PLATFORM win)
else()
  set(RV58_PLATFORM posix)
endif()

# rv58_platform_sources(<var> <concern>...)
# This platform's file of each concern of the calling folder; a missing one stops the configure.
function(rv58_platform_sources var)
  set(files "")
  foreach(concern ${ARGN})
    set(file ${CMAKE_CURRENT_SOURCE_DIR}/${concern}_${RV58_PLATFORM}.cpp)
    # A concern without its platform's file is a build error, not a silently missing feature.
    if(NOT EXISTS ${file})
      message(FATAL_ERROR "${concern}_${RV58_PLATFORM}.cpp is missing in ${CMAKE_CURRENT_SOURCE_DIR}")
    endif()
    list(APPEND files ${file})
  endforeach()
  set(${var} ${files} PARENT_SCOPE)
endfunction()

# rv58_add_prefix_tests(PREFIX <p> LABEL <label> DISCOVERY_TIMEOUT <s>
#                       [SOURCES <shared sources...>] [LIBRARIES <libraries...>] [TARGETS <var>])
# One test program per file prefix of the calling folder: window_*_test.cpp -> <p>_window_tests.
# Every program also gets the folder's shared SOURCES; the targets made go to <var>, so the folder
# can add what only it needs.
function(rv58_add_prefix_tests)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "PREFIX;LABEL;DISCOVERY_TIMEOUT;TARGETS" "SOURCES;LIBRARIES")
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  set(prefixes "")
  foreach(src ${tests})
    get_filename_component(name ${src} NAME)
    string(REGEX REPLACE "_.*" "" prefix ${name})
    list(APPEND prefixes ${prefix})
  endforeach()
  list(REMOVE_DUPLICATES prefixes)
  set(targets "")
  foreach(prefix ${prefixes})
    set(target ${arg_PREFIX}_${prefix}_tests)
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${prefix}_*_test.cpp)
    add_executable(${target} ${sources} ${arg_SOURCES})
    target_link_libraries(${target} PRIVATE ${arg_LIBRARIES})
    target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    gtest_discover_tests(${target} PROPERTIES ENVIRONMENT "${RV58_TEST_ENV}" LABELS ${arg_LABEL}
                         DISCOVERY_TIMEOUT ${arg_DISCOVERY_TIMEOUT})
    list(APPEND targets ${target})
  endforeach()
  if(arg_TARGETS)
    set(${arg_TARGETS} ${targets} PARENT_SCOPE)
  endif()
endfunction()

# rv58_add_benchmarks([LIBRARIES <libraries...>] [TARGETS <var>])
# One benchmark program per bench_*.cpp of the calling folder, named after the file.
function(rv58_add_benchmarks)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "TARGETS" "LIBRARIES")
  file(GLOB benches CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/bench_*.cpp)
  set(targets "")
  foreach(src ${benches})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_link_libraries(${name} PRIVATE ${arg_LIBRARIES} benchmark::benchmark)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/bench)
    list(APPEND targets ${name})
  endforeach()
  if(arg_TARGETS)
    set(${arg_TARGETS} ${targets} PARENT_SCOPE)
  endif()
endfunction()
