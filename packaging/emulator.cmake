# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# Prints the command that runs a toolchain's programs on this machine (its
# CMAKE_CROSSCOMPILING_EMULATOR), or nothing for a native one:
#
#   cmake -DTOOLCHAIN=FILE -P packaging/emulator.cmake
if(TOOLCHAIN)
  include(${TOOLCHAIN})
endif()
string(JOIN " " line ${CMAKE_CROSSCOMPILING_EMULATOR})
execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${line}")
