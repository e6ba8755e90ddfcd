# talvo_add_test(NAME <name> SOURCES <files...> [LIBS <targets...>] [QT])
# One test binary, registered with ctest as one test. QT links Qt Widgets and
# Test and uses a main() that creates the QApplication on the offscreen platform.
find_package(GTest REQUIRED)
set(TALVO_TEST_OUTPUT_DIR ${CMAKE_BINARY_DIR}/tests)

function(talvo_add_test)
  cmake_parse_arguments(T "QT" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TALVO_TEST_OUTPUT_DIR})
  target_link_libraries(${T_NAME} PRIVATE talvo_test_support ${T_LIBS} GTest::gtest GTest::gmock)
  if(T_QT)
    target_link_libraries(${T_NAME} PRIVATE talvo_test_qt_main Qt6::Widgets Qt6::Test)
  else()
    target_link_libraries(${T_NAME} PRIVATE GTest::gtest_main)
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set_tests_properties(${T_NAME} PROPERTIES
    TIMEOUT 600
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TALVO_PROGRAM_DIR=${TALVO_PROGRAM_DIR};ASAN_OPTIONS=detect_leaks=1:abort_on_error=0;LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0;UBSAN_OPTIONS=print_stacktrace=1")
  # The bundled programs must be built before any test runs them.
  add_dependencies(${T_NAME} talvo_program_dir)
endfunction()
