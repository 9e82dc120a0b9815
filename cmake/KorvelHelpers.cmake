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

# Adds every subfolder of the current folder that has a CMakeLists.txt: app/,
# link/, video/, bench/, fuzz/ and tests/ hold one component per subfolder.
macro(korvel_add_subfolders)
  file(GLOB korvel_subdirs LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(dir ${korvel_subdirs})
    if(IS_DIRECTORY ${dir} AND EXISTS ${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endmacro()
