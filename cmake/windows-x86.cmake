# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# 32-bit Windows console program (Debian package g++-mingw-w64-i686), tested
# under 32-bit wine.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(SETWALK_MINGW i686-w64-mingw32)
set(SETWALK_WINEARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/windows.cmake)
