# Natively the installed GoogleTest; for Windows the sources Debian ships, built by the cross compiler.
if(WIN32)
  set(GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  # GoogleTest's own code is not held to our warning level.
  add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  foreach(target gtest gtest_main gmock gmock_main)
    if(TARGET ${target})
      target_compile_options(${target} PRIVATE -Wno-error)
    endif()
  endforeach()
  # GoogleTest's own build defines the GTest:: aliases.
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# Adds a GoogleTest program as tests: each test case natively; under Wine one test per program,
# since listing the cases would start Wine at build time.
# OLDEST_WINDOWS: a GoogleTest filter of the cases to run again on the oldest Windows (Wine only).
# BITNESS: a filter of the cases that can go differently in an x86 build than in an x64 one (the
# Windows seams: exports, registration, shared memory, files, sockets, threads); with
# PIXWALL_BITNESS_TESTS_ONLY only those run, and a program without any is not built.
option(PIXWALL_BITNESS_TESTS_ONLY "Windows: only the tests that differ by bitness" OFF)
function(pixwall_add_gtest target)
  cmake_parse_arguments(ARG "" "OLDEST_WINDOWS;BITNESS" "" ${ARGN})
  target_link_libraries(${target} PRIVATE GTest::gtest GTest::gmock GTest::gtest_main)
  if(WIN32)
    set(cases "")
    if(PIXWALL_BITNESS_TESTS_ONLY)
      if(NOT ARG_BITNESS)
        set_target_properties(${target} PROPERTIES EXCLUDE_FROM_ALL TRUE)
        return()
      endif()
      set(cases --gtest_filter=${ARG_BITNESS})
    endif()
    add_test(NAME ${target} COMMAND ${target} ${cases})
    # One Wine prefix, one registry: programs that change it must not overlap.
    set_tests_properties(${target} PROPERTIES TIMEOUT 600 RESOURCE_LOCK wine_prefix)
    # Those of its tests that differ on the oldest Windows of the build, run again with Wine
    # reporting that version (XP for x86, Server 2003 for x64), in a prefix of its own.
    if(ARG_OLDEST_WINDOWS)
      if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set(version winxp)
      else()
        set(version win2003)
      endif()
      add_test(NAME ${target}_${version} COMMAND ${target} --gtest_filter=${ARG_OLDEST_WINDOWS})
      set_tests_properties(${target}_${version} PROPERTIES TIMEOUT 600 RESOURCE_LOCK wine_prefix
                           ENVIRONMENT PIXWALL_WINVER=${version})
    endif()
  else()
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
  endif()
endfunction()
