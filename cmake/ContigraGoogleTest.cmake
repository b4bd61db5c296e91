# GoogleTest for the test suites: the installed package, or, when
# CONTIGRA_GTEST_SOURCE names a GoogleTest source tree (cross builds: Debian's
# /usr/src/googletest; Windows: a checkout), built here from those sources.
set(CONTIGRA_GTEST_SOURCE "${CONTIGRA_GTEST_SOURCE}" CACHE PATH
    "GoogleTest source tree to build instead of the installed package")
if(CONTIGRA_GTEST_SOURCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${CONTIGRA_GTEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)
