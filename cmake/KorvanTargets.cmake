# Common compile settings for every target of the project.

# Position-independent executables, so that address-space randomisation moves the program too.
# Debian's compiler makes them anyway; this says so for any other.
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
include(CheckPIESupported)
check_pie_supported()

add_library(korvan_options INTERFACE)
target_compile_features(korvan_options INTERFACE cxx_std_20)

if(MSVC)
  target_compile_options(korvan_options INTERFACE /W4 /utf-8)
  if(KORVAN_WERROR)
    target_compile_options(korvan_options INTERFACE /WX)
  endif()
else()
  # A switch over an enum that misses a member stops every build, not only CI's: the switches
  # without a default (settings into the form, settings to verify) are how a new tracker
  # setting finds every place it must be handled.
  target_compile_options(korvan_options INTERFACE -Wall -Wextra -Wpedantic -Werror=switch)
  if(KORVAN_WERROR)
    target_compile_options(korvan_options INTERFACE -Werror)
  endif()
  if(KORVAN_SANITIZE)
    target_compile_options(korvan_options INTERFACE
      -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(korvan_options INTERFACE -fsanitize=address,undefined)
  endif()
  # The hardening Debian builds its packages with: fortified libc calls, stack canaries and
  # stack-clash probes, full RELRO with immediate binding. Only in optimised builds, since the
  # fortified calls need the optimiser, and not under the sanitizers or the fuzzer, whose own
  # run-time checks stand in for it there.
  if(KORVAN_HARDEN AND NOT KORVAN_SANITIZE AND NOT KORVAN_FUZZ)
    include(CheckCXXCompilerFlag)
    set(hardening -U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2 -fstack-protector-strong)
    check_cxx_compiler_flag(-fstack-clash-protection KORVAN_HAS_STACK_CLASH_PROTECTION)
    if(KORVAN_HAS_STACK_CLASH_PROTECTION)
      list(APPEND hardening -fstack-clash-protection)
    endif()
    set(optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
    target_compile_options(korvan_options INTERFACE "$<${optimised}:${hardening}>")
    target_link_options(korvan_options INTERFACE
      "$<${optimised}:LINKER:-z,relro;LINKER:-z,now>")
  endif()
  if(KORVAN_FUZZ)
    # Every library is instrumented for the fuzzer's coverage; only the fuzz targets link it.
    target_compile_options(korvan_options INTERFACE
      -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
      -fno-omit-frame-pointer)
  endif()
endif()

# korvan_library(<name> SOURCES ... [DEPENDS ...]): one library per source folder.
function(korvan_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC korvan_options ${ARG_DEPENDS})
endfunction()

# korvan_test(<name> LABEL <folder> SOURCES ... DEPENDS ... [OWN_MAIN]): a GoogleTest suite
# under CTest; OWN_MAIN when the suite brings its own main().
function(korvan_test name)
  cmake_parse_arguments(ARG "OWN_MAIN" "LABEL" "SOURCES;DEPENDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE korvan_options ${ARG_DEPENDS} GTest::gtest GTest::gmock)
  if(NOT ARG_OWN_MAIN)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  gtest_discover_tests(${name} PROPERTIES LABELS ${ARG_LABEL} DISCOVERY_TIMEOUT 60)
endfunction()
