# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# The cases of the setwalk test suite that need no shell, run by CMake itself
# so that they pass or fail the same on any build host:
#
#   cmake -DCASE=NAME -DEXPECTED=FILE -DPROGRAM=COMMAND -P run_case.cmake
#
# EXPECTED holds the exact report; PROGRAM is the command that starts the
# program, a list that begins with the emulator when it was cross-built.
cmake_minimum_required(VERSION 3.20)

set(work ${CMAKE_CURRENT_BINARY_DIR}/${CASE}.work)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
set(out ${work}/out)
set(err ${work}/err)
# What every run passes to execute_process after the program's arguments.
set(to_files OUTPUT_FILE ${out} ERROR_FILE ${err} RESULT_VARIABLE status
  TIMEOUT 120)

# A good run: status 0, exactly the report, nothing on standard error.
function(expect_report)
  if(NOT status STREQUAL "0")
    message(FATAL_ERROR "exit status ${status}, expected 0")
  endif()
  file(READ ${out} got HEX)
  file(READ ${EXPECTED} wanted HEX)
  if(NOT got STREQUAL wanted)
    message(FATAL_ERROR "the output differs from the report\n"
      "--- expected (hex):\n${wanted}\n--- got (hex):\n${got}")
  endif()
  file(READ ${err} said)
  if(NOT said STREQUAL "")
    message(FATAL_ERROR "standard error is not empty:\n${said}")
  endif()
endfunction()

if(CASE STREQUAL "report.bytes")
  execute_process(COMMAND ${PROGRAM} ${to_files})
  expect_report()
elseif(CASE STREQUAL "ignored.args-options")
  execute_process(COMMAND ${PROGRAM} --help -h --version -x -- - ${to_files})
  expect_report()
elseif(CASE STREQUAL "ignored.args-empty")
  execute_process(COMMAND ${PROGRAM} "" "" ${to_files})
  expect_report()
elseif(CASE STREQUAL "ignored.args-many")
  foreach(n RANGE 1 5000)
    list(APPEND many ${n})
  endforeach()
  execute_process(COMMAND ${PROGRAM} ${many} ${to_files})
  expect_report()
elseif(CASE STREQUAL "ignored.stdin-eof")
  file(WRITE ${work}/empty "")
  execute_process(COMMAND ${PROGRAM} INPUT_FILE ${work}/empty ${to_files})
  expect_report()
else()
  message(FATAL_ERROR "no case named ${CASE}")
endif()
file(REMOVE_RECURSE ${work})
