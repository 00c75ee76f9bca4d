# Cross build for 64-bit Windows with Debian's MinGW-w64 and its POSIX
# thread model (std::thread and std::mutex need it):
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Tests run under wine (CMAKE_CROSSCOMPILING_EMULATOR, set in the top-level
# CMakeLists.txt).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUARNET_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUARNET_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUARNET_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUARNET_MINGW_TRIPLE}-windres)

# Libraries, headers and CMake packages come from the MinGW tree only, never
# from the build machine's /usr.
set(CMAKE_FIND_ROOT_PATH /usr/${QUARNET_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
