# Cross toolchain: 32-bit Windows with mingw-w64 (posix thread model), tests under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TAV_TRIPLE i686-w64-mingw32)
set(TAV_ARCH_FLAGS "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-posix-common.cmake)
