# Shared part of the toolchain files: posix thread model, the compiler names and the way test
# programs are started come from tools/winarch.py, the one place that knows them.
get_filename_component(_quorvane_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QUORVANE_ARCH})
execute_process(COMMAND python3 ${_quorvane_root}/tools/winarch.py mingw ${QUORVANE_ARCH}
                OUTPUT_VARIABLE TOOLCHAIN_PREFIX OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "tools/winarch.py does not know ${QUORVANE_ARCH}")
endif()
set(CMAKE_C_COMPILER   ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Test programs run under Wine, with the loader and prefix of this architecture.
set(CMAKE_CROSSCOMPILING_EMULATOR python3;${_quorvane_root}/tools/winarch.py;run;${QUORVANE_ARCH})
