# SPDX-License-Identifier: MIT
# IBM Z Linux: big-endian.
set(setwalk_cpu s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
