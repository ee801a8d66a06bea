# vistrel_add_gtest(<name> SOURCES <files...> LIBS <targets...>)
# One GoogleTest executable per module; every test case becomes a CTest test.
include(GoogleTest)

set(VISTREL_TEST_ENV
  "QT_QPA_PLATFORM=offscreen"
  "XDG_RUNTIME_DIR=${CMAKE_BINARY_DIR}/xdg-runtime"
  "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/lsan.supp:print_suppressions=0"
  "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1"
  "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
  "OPENCV_LOG_LEVEL=ERROR")
file(MAKE_DIRECTORY "${CMAKE_BINARY_DIR}/xdg-runtime")

function(vistrel_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "${VISTREL_TEST_ENV}" TIMEOUT 600)
endfunction()

# vistrel_add_benchmark(<name> SOURCES <files...> LIBS <targets...>)
function(vistrel_add_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark)
endfunction()
