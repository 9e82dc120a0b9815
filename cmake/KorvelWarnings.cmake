# Warnings for every target of the project.
add_compile_options(-Wall -Wextra)

# korvel_add_test(<name> SOURCES ... LIBS ...): one GoogleTest executable
# registered with CTest, test by test.
function(korvel_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${ARG_PROPERTIES})
endfunction()
