# vistrel_add_gtest(<name> SOURCES <files...> LIBS <targets...>)
# One GoogleTest executable per module; every test case becomes a CTest test.
include(GoogleTest)

# gtest_discover_tests flattens a list-valued ENVIRONMENT into separate properties, so only one
# variable travels this way; scripts/test exports the sanitizer options and the rest.
set(VISTREL_TEST_ENV "QT_QPA_PLATFORM=offscreen")

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
