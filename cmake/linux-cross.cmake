# SPDX-License-Identifier: MIT
# What the Linux cross toolchains share: set setwalk_cpu, then include this.
# Builds with Debian's g++-<cpu>-linux-gnu; tests run under qemu-user, which
# needs the sysroot only when the link is dynamic.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${setwalk_cpu})
set(CMAKE_CXX_COMPILER ${setwalk_cpu}-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${setwalk_cpu}-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR
  qemu-${setwalk_cpu} -L /usr/${setwalk_cpu}-linux-gnu)
