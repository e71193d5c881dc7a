# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# The table of targets, cmake/targets, as CMake reads it; cmake/targets.sh
# reads it for the scripts, and stops on a row whose columns disagree.
#
# setwalk_target(COLUMN VALUE PREFIX): the first row whose COLUMN (name,
# debian or toolchain) is VALUE, as the variables PREFIX_name, _debian,
# _rpm, _toolchain, _downloads (a list), _wine, _msi, _upgrade and
# _program, - where the row leaves a column out; PREFIX_name is empty where
# no row matches.
function(setwalk_target column value prefix)
  set(columns name debian rpm toolchain downloads wine msi upgrade program)
  file(STRINGS ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/targets rows REGEX "^[a-z]")
  foreach(column_name IN LISTS columns)
    set(${prefix}_${column_name} "-" PARENT_SCOPE)
  endforeach()
  set(${prefix}_name "" PARENT_SCOPE)
  foreach(row IN LISTS rows)
    string(REGEX MATCH "^([^ ]+) +([^ ]+) +([^ ]+) +([^ ]+) +([^ ]+)(.*)$" row "${row}")
    set(fields "${CMAKE_MATCH_1}" "${CMAKE_MATCH_2}" "${CMAKE_MATCH_3}" "${CMAKE_MATCH_4}"
      "${CMAKE_MATCH_5}")
    set(downloads "${CMAKE_MATCH_5}")
    list(FIND columns ${column} index)
    list(GET fields ${index} candidate)
    string(REGEX MATCH "^ +([^ ]+) +([^ ]+) +([^ ]+) +(.+)$" windows "${CMAKE_MATCH_6}")
    list(APPEND fields "${CMAKE_MATCH_1}" "${CMAKE_MATCH_2}" "${CMAKE_MATCH_3}" "${CMAKE_MATCH_4}")
    if(candidate STREQUAL value)
      foreach(column_name field IN ZIP_LISTS columns fields)
        if(field STREQUAL "")
          set(field "-")
        endif()
        set(${prefix}_${column_name} "${field}" PARENT_SCOPE)
      endforeach()
      string(REPLACE "," ";" downloads "${downloads}")
      set(${prefix}_downloads "${downloads}" PARENT_SCOPE)
      return()
    endif()
  endforeach()
endfunction()
