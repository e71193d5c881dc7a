# SPDX-License-Identifier: MIT
# 64-bit Arm Linux.
set(setwalk_cpu aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
