# Cross-building for 64-bit Windows with Debian's mingw-w64 (posix thread model, for std::thread).
# Programs are linked statically, so they run under Wine without the compiler's DLLs beside them;
# tests run through scripts/wine-run, which masks the machine's serial devices first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(rv58_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${rv58_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${rv58_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${rv58_mingw}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${rv58_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
