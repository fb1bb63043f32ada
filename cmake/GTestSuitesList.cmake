# Writes `list_file`: one add_test per GoogleTest suite of `program` (see
# GTestSuites.cmake). Run after each build of the program.
execute_process(
  COMMAND ${emulator} "${program}" --gtest_list_tests
  OUTPUT_VARIABLE listing
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${program} --gtest_list_tests failed (${result})")
endif()
string(REPLACE "\n" ";" lines "${listing}")
set(content "")
foreach(line IN LISTS lines)
  # A suite line starts the line and ends in "."; the tests below it are
  # indented. "Table/FirstPassTest." is named "FirstPassTest" with the
  # instantiation's prefix kept ("EachTimer/TimerTest").
  if(line MATCHES "^([A-Za-z0-9_/]+)\\.")
    set(suite "${CMAKE_MATCH_1}")
    string(REGEX REPLACE "^Table/" "" name "${suite}")
    string(APPEND content
      "add_test([=[${name}]=] ${emulator} [==[${program}]==] [==[--gtest_filter=${suite}.*]==])\n"
      "set_tests_properties([=[${name}]=] PROPERTIES WORKING_DIRECTORY [==[${working_dir}]==])\n")
  endif()
endforeach()
file(WRITE "${list_file}" "${content}")
