# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# Prints the command that runs a toolchain's programs on this machine (its
# CMAKE_CROSSCOMPILING_EMULATOR), one word a line, since a word may hold a
# space (a path); nothing for a native one:
#
#   cmake -DCMAKE_TOOLCHAIN_FILE=FILE [-DSETWALK_ARCH=ARCH] -P cmake/emulator.cmake
if(CMAKE_TOOLCHAIN_FILE)
  include(${CMAKE_TOOLCHAIN_FILE})
endif()
if(CMAKE_CROSSCOMPILING_EMULATOR)
  string(JOIN "\n" lines ${CMAKE_CROSSCOMPILING_EMULATOR})
  execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${lines}")
endif()
