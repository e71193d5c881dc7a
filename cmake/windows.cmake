# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# A Windows console program, cross-built with Debian's MinGW-w64 for the
# processor that the including toolchain file names (windows-x86.cmake,
# windows-x64.cmake) with SETWALK_MINGW, the compilers' triplet, and
# SETWALK_TOOLCHAIN, its own name. Its row of cmake/targets gives
# SETWALK_WINEARCH, the width of the wine (and of its prefix) that runs
# the tests.
include(${CMAKE_CURRENT_LIST_DIR}/targets.cmake)
setwalk_target(toolchain ${SETWALK_TOOLCHAIN} windows)
if(NOT windows_wine MATCHES "^win(32|64)$")
  message(FATAL_ERROR "cmake/targets has no Windows row whose toolchain is ${SETWALK_TOOLCHAIN}")
endif()
set(SETWALK_WINEARCH ${windows_wine})
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_CXX_COMPILER ${SETWALK_MINGW}-g++)
set(CMAKE_RC_COMPILER ${SETWALK_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${SETWALK_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# wine-run.sh, with the places wine works in fixed as configure finds them.
execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${SETWALK_WINEARCH} --launcher
  OUTPUT_VARIABLE launcher OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE "\n" ";" CMAKE_CROSSCOMPILING_EMULATOR "${launcher}")
# What the suite runs once, before its cases.
set(SETWALK_TEST_SETUP ${CMAKE_CROSSCOMPILING_EMULATOR} --prepare)
