# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# Prints the command that runs a toolchain's programs on this machine (its
# CMAKE_CROSSCOMPILING_EMULATOR), or nothing for a native one:
#
#   cmake -DCMAKE_TOOLCHAIN_FILE=FILE [-DSETWALK_ARCH=ARCH] -P cmake/emulator.cmake
if(CMAKE_TOOLCHAIN_FILE)
  include(${CMAKE_TOOLCHAIN_FILE})
endif()
string(JOIN " " line ${CMAKE_CROSSCOMPILING_EMULATOR})
execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${line}")
