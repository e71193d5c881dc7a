# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# 64-bit Windows console program (Debian package g++-mingw-w64-x86-64),
# tested under 64-bit wine, which starts no 32-bit program.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(SETWALK_MINGW x86_64-w64-mingw32)
set(SETWALK_WINEARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/windows.cmake)
