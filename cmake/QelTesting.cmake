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
    # Every Windows test runs under Wine on one Xvfb and in one prefix of the build folder,
    # set up by the first test of the run and ended by the last (CTest fixtures).
    set(QEL_WINE_DISPLAY 160 CACHE STRING "X display number of the Xvfb the Windows tests run on")
    set(QEL_WINE_ENV
      "QEL_WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix"
      "QEL_WINE_DISPLAY=${QEL_WINE_DISPLAY}"
      "QEL_WINE_SESSION_DIR=${CMAKE_BINARY_DIR}/wine-session"
      "DISPLAY=:${QEL_WINE_DISPLAY}"
      "QEL_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
    add_test(NAME wine_session_start COMMAND bash ${PROJECT_SOURCE_DIR}/cmake/wine-session.sh start)
    add_test(NAME wine_session_stop COMMAND bash ${PROJECT_SOURCE_DIR}/cmake/wine-session.sh stop)
    set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine_session ENVIRONMENT "${QEL_WINE_ENV}" TIMEOUT 600)
    set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine_session ENVIRONMENT "${QEL_WINE_ENV}" TIMEOUT 60)
  else()
    find_package(GTest REQUIRED)
    include(GoogleTest)
    set(QEL_GTEST_MAIN GTest::gtest_main)
  endif()
endif()

# qel_wine_test(NAME...): these tests run in the run's Wine session (Windows builds only).
function(qel_wine_test)
  if(CMAKE_CROSSCOMPILING)
    set_tests_properties(${ARGN} PROPERTIES FIXTURES_REQUIRED wine_session ENVIRONMENT "${QEL_WINE_ENV}")
  endif()
endfunction()

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
    qel_wine_test(${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 900)
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
