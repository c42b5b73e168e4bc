# Cross build for 32-bit Windows (the product's own architecture) with Debian's mingw-w64.
set(QUORVANE_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
