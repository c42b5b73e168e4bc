# Cross build for 64-bit Windows with Debian's mingw-w64.
set(QUORVANE_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
