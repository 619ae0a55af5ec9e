# Build helpers shared by the source and benchmark folders (the tests have cmake/Rv58Tests.cmake).

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
