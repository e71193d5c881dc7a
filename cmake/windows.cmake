# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# A Windows console program, cross-built with Debian's MinGW-w64 for the
# processor that the including toolchain file names (windows-x86.cmake,
# windows-x64.cmake): SETWALK_MINGW, the compilers' triplet, and
# SETWALK_WINEARCH, the kind of wine prefix its tests run in.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_CXX_COMPILER ${SETWALK_MINGW}-g++)
set(CMAKE_RC_COMPILER ${SETWALK_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${SETWALK_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${SETWALK_WINEARCH})
# What the suite runs once, before its cases.
set(SETWALK_TEST_SETUP ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${SETWALK_WINEARCH} --prepare)
