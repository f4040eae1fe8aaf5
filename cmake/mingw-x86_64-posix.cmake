# Cross toolchain: 64-bit Windows (test build) with mingw-w64 (posix thread model), tests under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TAV_TRIPLE x86_64-w64-mingw32)
set(TAV_ARCH_FLAGS "")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-posix-common.cmake)
