# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# 32-bit Windows console program (Debian package g++-mingw-w64-i686),
# which 32-bit wine runs.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(SETWALK_MINGW i686-w64-mingw32)
get_filename_component(SETWALK_TOOLCHAIN ${CMAKE_CURRENT_LIST_FILE} NAME_WE)
include(${CMAKE_CURRENT_LIST_DIR}/windows.cmake)
