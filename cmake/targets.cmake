# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# The table of targets, cmake/targets, as CMake reads it: the rows that
# cmake/targets.sh gives, so that a row it refuses stops configure too.
# Where there is no bash (a host with a compiler and CMake alone, which
# makes no release), the rows are read from the table as they stand.
#
# setwalk_target(COLUMN VALUE PREFIX): the first row whose COLUMN (name,
# debian or toolchain) is VALUE, as the variables PREFIX_name, _debian,
# _rpm, _toolchain, _downloads (a list), _wine, _msi, _upgrade and
# _program, - where the row leaves a column out; PREFIX_name is empty where
# no row matches.
function(setwalk_target column value prefix)
  set(columns name debian rpm toolchain downloads wine msi upgrade program)
  find_program(SETWALK_BASH bash)
  if(SETWALK_BASH)
    execute_process(COMMAND ${SETWALK_BASH} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/targets.sh
      OUTPUT_VARIABLE rows ERROR_VARIABLE why RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "${why}")
    endif()
    string(REGEX REPLACE "\n$" "" rows "${rows}")
    string(REPLACE "\n" ";" rows "${rows}")
  else()
    file(STRINGS ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/targets lines REGEX "^[a-z]")
    set(rows "")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^([^ ]+) +([^ ]+) +([^ ]+) +([^ ]+) +([^ ]+) *$" "\\1\t\\2\t\\3\t\\4\t\\5\t-\t-\t-\t-"
        line "${line}")
      string(REGEX REPLACE "^([^ ]+) +([^ ]+) +([^ ]+) +([^ ]+) +([^ ]+) +([^ ]+) +([^ ]+) +([^ ]+) +(.+)$"
        "\\1\t\\2\t\\3\t\\4\t\\5\t\\6\t\\7\t\\8\t\\9" line "${line}")
      list(APPEND rows "${line}")
    endforeach()
  endif()
  list(FIND columns ${column} index)
  foreach(column_name IN LISTS columns)
    set(${prefix}_${column_name} "-" PARENT_SCOPE)
  endforeach()
  set(${prefix}_name "" PARENT_SCOPE)
  foreach(row IN LISTS rows)
    string(REPLACE "\t" ";" fields "${row}")
    list(GET fields ${index} candidate)
    if(candidate STREQUAL value)
      foreach(column_name field IN ZIP_LISTS columns fields)
        set(${prefix}_${column_name} "${field}" PARENT_SCOPE)
      endforeach()
      list(GET fields 4 downloads)
      string(REPLACE "," ";" downloads "${downloads}")
      set(${prefix}_downloads "${downloads}" PARENT_SCOPE)
      return()
    endif()
  endforeach()
endfunction()
