# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# 64-bit Windows console program (Debian package g++-mingw-w64-x86-64),
# which 64-bit wine runs.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(SETWALK_MINGW x86_64-w64-mingw32)
get_filename_component(SETWALK_TOOLCHAIN ${CMAKE_CURRENT_LIST_FILE} NAME_WE)
include(${CMAKE_CURRENT_LIST_DIR}/windows.cmake)
