# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# 64-bit Arm Linux.
set(setwalk_arch arm64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
