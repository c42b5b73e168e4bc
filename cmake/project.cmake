# Helpers shared by the project's CMakeLists files.

# Warnings for the project's own code (not for the third-party libraries).
function(quorvane_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()

# A GoogleTest program, registered once with ctest (Wine start-up dominates, so one process
# runs all of its cases). Extra arguments: SOURCES ... LIBS ... LABELS ...
function(quorvane_add_gtest name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${CMAKE_SOURCE_DIR}/tests/support/code_page_test.cpp)
  target_link_libraries(${name} PRIVATE gtest_main ${T_LIBS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  quorvane_warnings(${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no
           WORKING_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} RUN_SERIAL TRUE)
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()

# A Python unittest module that drives the real programs under Wine (of this build's architecture).
function(quorvane_add_pytest name script)
  cmake_parse_arguments(T "" "TIMEOUT" "DEPENDS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_test(NAME ${name}
           COMMAND python3 -m unittest -v ${script}
           WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests)
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} RUN_SERIAL TRUE
    ENVIRONMENT "QUORVANE_BIN=${CMAKE_RUNTIME_OUTPUT_DIRECTORY};QUORVANE_SRC=${CMAKE_SOURCE_DIR};QUORVANE_ARCH=${CMAKE_SYSTEM_PROCESSOR}")
endfunction()

# Resource scripts of the two programs, with the icons drawn at configure time.
set(RES_DIR ${CMAKE_SOURCE_DIR}/res)
set(_icons ${CMAKE_BINARY_DIR}/icons)
file(MAKE_DIRECTORY ${_icons})
foreach(style app window tray)
  if(NOT EXISTS ${_icons}/${style}.ico OR ${CMAKE_SOURCE_DIR}/tools/make_icon.py IS_NEWER_THAN ${_icons}/${style}.ico)
    execute_process(COMMAND python3 ${CMAKE_SOURCE_DIR}/tools/make_icon.py ${_icons}/${style}.ico ${style}
                    RESULT_VARIABLE _rc)
    if(NOT _rc EQUAL 0)
      message(FATAL_ERROR "Could not draw icon ${style}")
    endif()
  endif()
endforeach()
set(ICON_APP ${_icons}/app.ico)
set(ICON_WINDOW ${_icons}/window.ico)
set(ICON_TRAY ${_icons}/tray.ico)
# The manifest names the architecture the program is built for.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(MANIFEST_ARCH amd64)
else()
  set(MANIFEST_ARCH x86)
endif()
configure_file(${RES_DIR}/quorvane.manifest.in ${CMAKE_BINARY_DIR}/res/quorvane.manifest @ONLY)
set(CLIENT_MANIFEST ${CMAKE_BINARY_DIR}/res/quorvane.manifest)
# One version number for the client's version resource (what the update check sends) and the
# installer; a build may be made with another one: -DQUORVANE_VERSION=1.0.3.13.
string(REPLACE "." "," QUORVANE_VERSION_COMMAS "${QUORVANE_VERSION}")
configure_file(${RES_DIR}/quorvane.rc.in ${CMAKE_BINARY_DIR}/res/quorvane.rc @ONLY)
configure_file(${RES_DIR}/quorvupdate.rc.in ${CMAKE_BINARY_DIR}/res/quorvupdate.rc @ONLY)
set(QUORVANE_CLIENT_RC ${CMAKE_BINARY_DIR}/res/quorvane.rc)
set(QUORVANE_UPDATER_RC ${CMAKE_BINARY_DIR}/res/quorvupdate.rc)

# System DLLs that nothing needs before the first window are loaded on first use instead of at
# process start: `qdelay_<dll>` stands wherever `<dll>` would be linked.
# Only on x86_64. The i686 delay-load libraries that this toolchain's dlltool makes are broken:
# their thunk symbols come out absolute at 0, so every slot starts as 0, no delay-load
# descriptor reaches the program and its first call into the DLL jumps to address 0. On i686
# these DLLs are therefore imported the ordinary way (the loader maps them at process start).
# tools/check_pe.py reads every built program and fails on such slots for either architecture.
foreach(dll comdlg32 version crypt32 shell32 wininet gdiplus)
  add_library(qdelay_${dll} INTERFACE)
  if(NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    target_link_libraries(qdelay_${dll} INTERFACE ${dll})
    continue()
  endif()
  set(_delaylib ${CMAKE_BINARY_DIR}/delay/lib${dll}_delay.a)
  add_custom_command(OUTPUT ${_delaylib}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/delay
    COMMAND python3 ${CMAKE_SOURCE_DIR}/tools/delay_import.py ${TOOLCHAIN_PREFIX} ${dll} ${_delaylib}
    DEPENDS ${CMAKE_SOURCE_DIR}/tools/delay_import.py
    COMMENT "Delay-load import library for ${dll}.dll")
  add_custom_target(qdelay_${dll}_lib DEPENDS ${_delaylib})
  add_dependencies(qdelay_${dll} qdelay_${dll}_lib)
  target_link_libraries(qdelay_${dll} INTERFACE ${_delaylib} delayimp)
endforeach()
