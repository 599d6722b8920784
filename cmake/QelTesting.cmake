# Unit tests: GoogleTest with CTest.
# Native builds run every case through CTest discovery; the Windows build registers each
# test executable as one CTest test run under Wine (per-case discovery there is too slow).
if(QEL_TESTS AND NOT QEL_FUZZ)
  enable_testing()
  if(CMAKE_CROSSCOMPILING)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    set(QEL_GTEST_MAIN gtest_main)
  else()
    find_package(GTest REQUIRED)
    include(GoogleTest)
    set(QEL_GTEST_MAIN GTest::gtest_main)
  endif()
endif()

# qel_add_test(NAME SOURCES src... LIBS lib...)
function(qel_add_test name)
  if(NOT QEL_TESTS OR QEL_FUZZ)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} ${QEL_GTEST_MAIN})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
      ENVIRONMENT "QEL_WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix;QEL_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
      TIMEOUT 900)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
      PROPERTIES ENVIRONMENT "QEL_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  endif()
endfunction()

# qel_add_library(NAME SOURCES src... LIBS lib...): a static library of one layer.
function(qel_add_library name)
  cmake_parse_arguments(L "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${L_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  if(L_LIBS)
    target_link_libraries(${name} PUBLIC ${L_LIBS})
  endif()
endfunction()
