# Cross build for Windows with Debian's MinGW-w64 (posix threads).
# Everything links statically: the programs import only Windows' own DLLs.
# Included by the toolchain file of each processor, which sets
# CMAKE_SYSTEM_PROCESSOR and TRIPLE first.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TRIPLE}-windres)

# Programs of the build machine, libraries and headers of the target. The
# header-only CLI11 and nlohmann-json come from the build machine's packages
# (cmake/host_headers.cmake), without its C library's headers.
set(CMAKE_FIND_ROOT_PATH /usr/${TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
