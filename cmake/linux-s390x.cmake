# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# IBM Z Linux: big-endian.
set(setwalk_arch s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
