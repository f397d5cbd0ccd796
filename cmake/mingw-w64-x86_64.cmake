# Cross-builds for 64-bit Windows with MinGW-w64 from Debian, and runs the results under Wine:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DZENDROW_BUILD_UI=OFF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_triple x86_64-w64-mingw32)
# The posix flavour has std::thread and friends; the win32 flavour is the fallback.
find_program(_mingw_cxx NAMES ${_triple}-g++-posix ${_triple}-g++ REQUIRED)
find_program(_mingw_cc NAMES ${_triple}-gcc-posix ${_triple}-gcc REQUIRED)
set(CMAKE_CXX_COMPILER ${_mingw_cxx})
set(CMAKE_C_COMPILER ${_mingw_cc})
set(CMAKE_RC_COMPILER ${_triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything static (libgcc, libstdc++, winpthread): the .exe runs without MinGW's DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# CLI11 is header-only, so Debian's package serves Windows too, through a config of our own.
set(CLI11_DIR ${CMAKE_CURRENT_LIST_DIR}/mingw-w64-cli11 CACHE PATH "CLI11 for the Windows build")

# Tests run under Wine, found at ctest time so that building needs no Wine prefix.
find_program(_wine NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(_wine)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${_wine})
endif()
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

# nlohmann/json likewise.
set(nlohmann_json_DIR ${CMAKE_CURRENT_LIST_DIR}/mingw-w64-nlohmann_json CACHE PATH "nlohmann/json for the Windows build")
