# Build helpers shared by every component.
#
#   TAV_WIN32                      true in the cross builds (Windows)
#   TAV_WIN64                      true in the x86_64 test build of the Windows code (see below)
#   tav::codecs                    mpg123, vorbisfile, libopenmpt, SoundTouch (both builds)
#   tav_add_test(T SOURCES .. [LIBS ..] [GUI] [REAL_TIME] [TIMEOUT s])
#                                  a GoogleTest executable with tests/common's main; its cases
#                                  become ctest tests. In the cross build it runs under Wine
#                                  (GUI: with the X server; GUI tests take turns, since focus,
#                                  capture and pointer are shared). REAL_TIME: it measures
#                                  playback against the wall clock, runs alone and its label
#                                  ends in _real_time (the one kind run-tests.sh runs again).
#   tav_add_benchmark(T SOURCES .. [LIBS ..])   a Google Benchmark executable (native only)
#   tav_output_folder(T SUB)      puts T's DLL in bin/SUB and its import library in lib/SUB
#                                  (the test builds of a library, beside the real one)
#   tav_stdcall_dll(T DEF file)    links a DLL from a .def of decorated names (name@bytes),
#                                  exports them undecorated and writes an import library whose
#                                  symbols keep the decoration, so callers link name@bytes.
include_guard(GLOBAL)
include(GoogleTest)

if(WIN32)
  set(TAV_WIN32 ON)
  # The deliverables are 32-bit. Where this machine cannot run 32-bit programs
  # (no ia32 emulation in its kernel), the same sources are also built for
  # x86_64 and the Windows tests run there, under 64-bit Wine.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(TAV_WIN64 ON)
    set(TAV_WINE_ARCH win64)
  else()
    set(TAV_WIN64 OFF)
    set(TAV_WINE_ARCH win32)
  endif()
else()
  set(TAV_WIN32 OFF)
  set(TAV_WIN64 OFF)
endif()

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

add_compile_options(-Wall -Wextra -Wno-unused-parameter)
if(TAV_WIN32)
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  if(NOT TAV_WIN64)
    add_compile_options(-msse2 -mfpmath=sse)
  endif()
endif()
if(TAV_SANITIZE AND NOT TAV_WIN32)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(TAV_SANITIZE_THREAD AND NOT TAV_WIN32)
  if(TAV_SANITIZE)
    message(FATAL_ERROR "TAV_SANITIZE_THREAD and TAV_SANITIZE cannot be combined")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# --- third-party libraries ---------------------------------------------------
find_package(PkgConfig REQUIRED)
pkg_check_modules(TAV_CODECS REQUIRED IMPORTED_TARGET libmpg123 vorbisfile vorbis ogg libopenmpt soundtouch)
add_library(tav_codecs INTERFACE)
add_library(tav::codecs ALIAS tav_codecs)
if(TAV_WIN32)
  # only static archives exist: link the whole Requires.private closure
  target_include_directories(tav_codecs INTERFACE ${TAV_CODECS_STATIC_INCLUDE_DIRS})
  target_link_libraries(tav_codecs INTERFACE ${TAV_CODECS_STATIC_LDFLAGS})
  target_compile_definitions(tav_codecs INTERFACE ${TAV_CODECS_STATIC_CFLAGS_OTHER})
else()
  target_link_libraries(tav_codecs INTERFACE PkgConfig::TAV_CODECS)
endif()

if(TAV_WIN32)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(${TAV_XDEPS}/googletest-src ${CMAKE_BINARY_DIR}/_gtest EXCLUDE_FROM_ALL)
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
    add_library(GTest::gmock ALIAS gmock)
  endif()
else()
  find_package(GTest REQUIRED)
  if(TAV_BENCHMARKS)
    find_package(benchmark REQUIRED)
  endif()
endif()

# --- Wine ----------------------------------------------------------------------
if(TAV_WIN32)
  set(TAV_WINE_STATE ${CMAKE_BINARY_DIR}/wine)
  configure_file(${CMAKE_SOURCE_DIR}/scripts/wine-run.in ${CMAKE_BINARY_DIR}/wine-run
    @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  file(WRITE ${CMAKE_BINARY_DIR}/wine-arch "${TAV_WINE_ARCH}\n")
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
  find_program(TAV_DLLTOOL NAMES ${TAV_TRIPLE}-dlltool REQUIRED)
endif()

function(tav_add_test target)
  cmake_parse_arguments(A "GUI;REAL_TIME" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} ${A_SOURCES})
  target_link_libraries(${target} PRIVATE tav_gtest_main ${A_LIBS})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 120)
  endif()
  set(_props)
  if(A_GUI)
    set(_props RESOURCE_LOCK x_display)
  endif()
  # A skip is told by the exit code of tests/common/gtest_main.cpp, not by the output.
  list(APPEND _props SKIP_RETURN_CODE 77 SKIP_REGULAR_EXPRESSION "TAV-NEVER-PRINTED")
  # Tests that measure playback against the wall clock run alone: under Wine the
  # DirectSound mixer falls behind real time when other tests load the machine.
  # Their label lets scripts/run-tests.sh give them, and only them, a second run.
  if(TAV_WIN32)
    set(_labels wine)
  else()
    set(_labels native)
  endif()
  if(A_REAL_TIME)
    list(APPEND _props RUN_SERIAL TRUE)
    set(_labels ${_labels}_real_time)  # one label: a list would not pass gtest_discover_tests
  endif()
  if(TAV_WIN32)
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
      PROPERTIES FIXTURES_REQUIRED WINE LABELS ${_labels} TIMEOUT ${A_TIMEOUT} ${_props}
      ENVIRONMENT TAV_TEST_MEDIA=${TAV_TEST_MEDIA}
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  else()
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
      PROPERTIES FIXTURES_REQUIRED MEDIA LABELS ${_labels} TIMEOUT ${A_TIMEOUT} ${_props}
      ENVIRONMENT TAV_TEST_MEDIA=${TAV_TEST_MEDIA}
      WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  endif()
endfunction()

function(tav_add_benchmark target)
  if(TAV_WIN32 OR NOT TAV_BENCHMARKS)
    return()
  endif()
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} ${A_SOURCES})
  target_link_libraries(${target} PRIVATE benchmark::benchmark_main ${A_LIBS})
  set_property(GLOBAL APPEND PROPERTY TAV_BENCHMARK_TARGETS ${target})
endfunction()

function(tav_output_folder target sub)
  set_target_properties(${target} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/${sub}
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/${sub}
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib/${sub})
endfunction()

function(tav_stdcall_dll target def)
  set_target_properties(${target} PROPERTIES PREFIX "" IMPORT_PREFIX "lib" IMPORT_SUFFIX ".a")
  if(TAV_WIN64)
    # one calling convention and no decoration on x86_64
    file(READ ${def} _text)
    string(REGEX REPLACE "@[0-9]+" "" _text "${_text}")
    set(_plain ${CMAKE_CURRENT_BINARY_DIR}/${target}.plain.def)
    file(WRITE ${_plain} "${_text}")
    target_link_options(${target} PRIVATE ${_plain})
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${def})
    return()
  endif()
  target_link_options(${target} PRIVATE ${def} -Wl,--kill-at)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${def})
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${TAV_DLLTOOL} -d ${def} -D $<TARGET_FILE_NAME:${target}> -k -l $<TARGET_LINKER_FILE:${target}>
    VERBATIM)
endfunction()
