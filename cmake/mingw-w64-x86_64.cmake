# Cross-building for 64-bit Windows with Debian's mingw-w64 (posix thread model, for std::thread).
# The window's build loads it through Qt's qt.toolchain.cmake (QT_CHAINLOAD_TOOLCHAIN_FILE). How a
# program links its C++ runtime is the project's choice (the top CMakeLists.txt): statically where
# no Qt is linked, the DLLs of Qt's own runtime where it is. Tests run through scripts/wine-run,
# which masks the machine's serial devices first.
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
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
