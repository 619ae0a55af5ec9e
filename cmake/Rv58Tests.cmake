# The one way a test folder adds a test program.

# Tests run headless and never touch real serial hardware.
set(RV58_TEST_ENV "QT_QPA_PLATFORM=offscreen")
if(WIN32)
  # Under Wine: the build's own prefix, and the folders of Qt's DLLs and of the compiler's runtime
  # DLLs, which scripts/wine-run puts on Wine's search path.
  set(rv58_dll_path "")
  if(RV58_BUILD_GUI)
    list(APPEND rv58_dll_path "$<TARGET_FILE_DIR:Qt6::Core>")
  endif()
  foreach(dll libstdc++-6.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll} OUTPUT_VARIABLE file
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    get_filename_component(folder "${file}" DIRECTORY)
    get_filename_component(folder "${folder}" REALPATH)
    list(APPEND rv58_dll_path "${folder}")
  endforeach()
  string(REPLACE ";" ":" rv58_dll_path "${rv58_dll_path}")
  set(RV58_WINE_TEST_ENV "RV58_WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix" "RV58_WINE_DLLPATH=${rv58_dll_path}"
                         "${RV58_TEST_ENV}")
endif()

# rv58_add_test(<name> SOURCES <files...> [LIBRARIES <libraries...>] [LABELS <labels...>]
#               [INCLUDES <folders...>] [DISCOVERY_TIMEOUT <seconds>])
# Files named *_posix*.cpp are built on POSIX only, *_win*.cpp on Windows only, so one list serves
# both platforms; a program with no file left on this platform is not made. Every program links
# the test support library (tests/support) and sees the calling folder's headers and INCLUDES.
# The LIBRARIES name the program's main: GTest::gtest_main, or GTest::gtest with a main of its own.
# On Linux each test case is one ctest entry, run headless. In the Windows build the whole program
# is one entry run under Wine through the cross-compiling emulator (scripts/wine-run, which masks
# the machine's serial devices): every start of Wine costs time.
function(rv58_add_test name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "DISCOVERY_TIMEOUT" "SOURCES;LIBRARIES;LABELS;INCLUDES")
  if(WIN32)
    set(other_platform "_posix[_.]")
  else()
    set(other_platform "_win[_.]")
  endif()
  set(sources "")
  foreach(src ${arg_SOURCES})
    get_filename_component(file ${src} NAME)
    if(NOT file MATCHES "${other_platform}")
      list(APPEND sources ${src})
    endif()
  endforeach()
  if(NOT sources)
    return()
  endif()
  if(NOT arg_DISCOVERY_TIMEOUT)
    set(arg_DISCOVERY_TIMEOUT 30)
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE rv58_test_support ${arg_LIBRARIES})
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${arg_INCLUDES})
  if(WIN32)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${RV58_WINE_TEST_ENV}"
                                            LABELS "windows;${arg_LABELS}" TIMEOUT 300)
  else()
    set(properties ENVIRONMENT "${RV58_TEST_ENV}")
    if(arg_LABELS)
      list(APPEND properties LABELS "${arg_LABELS}")
    endif()
    gtest_discover_tests(${name} PROPERTIES ${properties} DISCOVERY_TIMEOUT ${arg_DISCOVERY_TIMEOUT})
  endif()
endfunction()
