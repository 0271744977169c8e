# Building twice keeps a data file the user (or an update) changed, and puts
# back one that is missing. Runs the build's own copy step on a scratch
# program folder: cmake -DFROM= -DSCRIPT= -DWORK= -P copy_missing_test.cmake
function(copy_step)
  execute_process(COMMAND ${CMAKE_COMMAND} -DFROM=${FROM} -DTO=${WORK} -P ${SCRIPT} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "the copy step failed")
  endif()
endfunction()

function(expect_file name expected)
  file(READ "${WORK}/${name}" actual)
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "${name} holds \"${actual}\" instead of \"${expected}\"")
  endif()
endfunction()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
copy_step()
foreach(name uservers.dat tips.dat "Test Message.Txt" help/index.html)
  file(READ "${FROM}/${name}" shipped)
  expect_file("${name}" "${shipped}")
endforeach()

file(WRITE "${WORK}/uservers.dat" "[mine@example.org]\nType=0\n")
file(WRITE "${WORK}/help/index.html" "my notes")
file(REMOVE "${WORK}/tips.dat")
copy_step()
expect_file(uservers.dat "[mine@example.org]\nType=0\n")
expect_file(help/index.html "my notes")
file(READ "${FROM}/tips.dat" shipped)
expect_file(tips.dat "${shipped}")
file(REMOVE_RECURSE "${WORK}")
