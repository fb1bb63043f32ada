# One CTest entry per GoogleTest suite of a test program, found after each
# build from the program's own --gtest_list_tests: for programs of many quick
# tests, whose per-process start would cost more than the tests (the
# controller's). An entry is named after its suite ("FirstPassTest",
# "EachTimer/TimerTest") and runs all of the suite's tests in one process.
#
#   frigel_add_gtest_suites(TARGET)
function(frigel_add_gtest_suites target)
  set(list_file "${CMAKE_CURRENT_BINARY_DIR}/${target}_suites.cmake")
  add_custom_command(
    TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND}
      -D "program=$<TARGET_FILE:${target}>"
      -D "emulator=${CMAKE_CROSSCOMPILING_EMULATOR}"
      -D "list_file=${list_file}"
      -D "working_dir=${CMAKE_CURRENT_BINARY_DIR}"
      -P "${PROJECT_SOURCE_DIR}/cmake/GTestSuitesList.cmake"
    BYPRODUCTS "${list_file}"
    VERBATIM)
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${list_file}")
endfunction()
