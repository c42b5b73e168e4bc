# Third-party libraries, built from the Debian source packages that tools/bootstrap.sh caches
# in .deps/ (never copied into the repository).
set(QUORVANE_DEPS_DIR "${CMAKE_SOURCE_DIR}/.deps" CACHE PATH "Downloaded dependency sources")
set(_unpack "${CMAKE_BINARY_DIR}/_deps")
file(MAKE_DIRECTORY "${_unpack}")

function(_quorvane_unpack pattern outvar)
  file(GLOB _tars "${QUORVANE_DEPS_DIR}/${pattern}")
  if(NOT _tars)
    message(FATAL_ERROR "Missing ${pattern} in ${QUORVANE_DEPS_DIR}: run tools/bootstrap.sh")
  endif()
  list(GET _tars 0 _tar)
  get_filename_component(_stamp "${_tar}" NAME)
  if(NOT EXISTS "${_unpack}/${_stamp}.done")
    execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf "${_tar}" WORKING_DIRECTORY "${_unpack}"
                    RESULT_VARIABLE _rc)
    if(NOT _rc EQUAL 0)
      message(FATAL_ERROR "Could not unpack ${_tar}")
    endif()
    file(WRITE "${_unpack}/${_stamp}.done" "")
  endif()
  set(${outvar} "${_unpack}" PARENT_SCOPE)
endfunction()

# jsoncpp
_quorvane_unpack("libjsoncpp_*.orig.tar.*" _dir)
file(GLOB _jsoncpp_root LIST_DIRECTORIES true "${_dir}/jsoncpp-*")
list(GET _jsoncpp_root 0 _jsoncpp_root)
add_library(jsoncpp STATIC
  ${_jsoncpp_root}/src/lib_json/json_reader.cpp
  ${_jsoncpp_root}/src/lib_json/json_value.cpp
  ${_jsoncpp_root}/src/lib_json/json_writer.cpp)
target_include_directories(jsoncpp SYSTEM PUBLIC ${_jsoncpp_root}/include)
target_compile_options(jsoncpp PRIVATE -w)

# pugixml
_quorvane_unpack("pugixml_*.orig.tar.*" _dir)
file(GLOB _pugi_root LIST_DIRECTORIES true "${_dir}/pugixml-*")
list(GET _pugi_root 0 _pugi_root)
add_library(pugixml STATIC ${_pugi_root}/src/pugixml.cpp)
target_include_directories(pugixml SYSTEM PUBLIC ${_pugi_root}/src)
target_compile_definitions(pugixml PUBLIC PUGIXML_WCHAR_MODE)
target_compile_options(pugixml PRIVATE -w)

# GoogleTest, from Debian's googletest sources
if(QUORVANE_BUILD_TESTS)
  set(_gt /usr/src/googletest)
  add_library(gtest STATIC ${_gt}/googletest/src/gtest-all.cc ${_gt}/googlemock/src/gmock-all.cc)
  target_include_directories(gtest SYSTEM PUBLIC
    ${_gt}/googletest/include ${_gt}/googlemock/include)
  target_include_directories(gtest PRIVATE ${_gt}/googletest ${_gt}/googlemock)
  target_compile_options(gtest PRIVATE -w)
  add_library(gtest_main STATIC ${_gt}/googletest/src/gtest_main.cc)
  target_link_libraries(gtest_main PUBLIC gtest)
  target_compile_options(gtest_main PRIVATE -w)
endif()
