# Cross build for Windows on i686 with Debian's MinGW-w64 (posix threads).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
# SSE2 arithmetic instead of the x87 unit: every Windows the programs run on
# (8 or later) needs a processor with SSE2, and doubles then round as on
# x86-64.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
