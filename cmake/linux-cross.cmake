# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# Linux on another processor, for a Debian architecture:
#
#   cmake -S . -B build --toolchain cmake/linux-cross.cmake -DSETWALK_ARCH=arm64
#
# Builds with Debian's g++-TRIPLET against the sysroot that sysroot.sh makes
# (the host's glibc version, for SETWALK_ARCH); tests run under qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
if(NOT SETWALK_ARCH)
  message(FATAL_ERROR "linux-cross.cmake wants -DSETWALK_ARCH=<Debian architecture>")
endif()
# The checks that configure compiles read this file too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES SETWALK_ARCH)

function(setwalk_dpkg_architecture variable out)
  execute_process(COMMAND dpkg-architecture -a${SETWALK_ARCH} -q${variable}
    OUTPUT_VARIABLE value OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET
    COMMAND_ERROR_IS_FATAL ANY)
  set(${out} ${value} PARENT_SCOPE)
endfunction()
setwalk_dpkg_architecture(DEB_HOST_GNU_TYPE triplet)
setwalk_dpkg_architecture(DEB_HOST_GNU_CPU cpu)
setwalk_dpkg_architecture(DEB_HOST_MULTIARCH multiarch)
set(CMAKE_SYSTEM_PROCESSOR ${cpu})
set(CMAKE_CXX_COMPILER ${triplet}-g++)

execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/sysroot.sh ${SETWALK_ARCH}
  OUTPUT_VARIABLE sysroot OUTPUT_STRIP_TRAILING_WHITESPACE
  COMMAND_ERROR_IS_FATAL ANY)
set(CMAKE_SYSROOT ${sysroot})
set(CMAKE_FIND_ROOT_PATH ${sysroot})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The cross compiler looks in its own tree, with the cross packages' older
# glibc, before it looks in the sysroot. So its header search is spelled out
# (the C++ headers, the compiler's own, then the sysroot's C headers), and
# the sysroot's start files and libraries come first in the link. The
# sysroot's path is quoted, as it may hold a space.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -dumpversion
  OUTPUT_VARIABLE gcc_version OUTPUT_STRIP_TRAILING_WHITESPACE
  COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=include
  OUTPUT_VARIABLE gcc_include OUTPUT_STRIP_TRAILING_WHITESPACE
  COMMAND_ERROR_IS_FATAL ANY)
set(cxx_include /usr/${triplet}/include/c++/${gcc_version})
string(JOIN " " CMAKE_CXX_FLAGS_INIT -nostdinc
  -isystem ${cxx_include} -isystem ${cxx_include}/${triplet}
  -isystem ${cxx_include}/backward -isystem ${gcc_include}
  -isystem "\"${sysroot}/usr/include/${multiarch}\"" -isystem "\"${sysroot}/usr/include\"")
string(JOIN " " CMAKE_EXE_LINKER_FLAGS_INIT "\"-B${sysroot}/usr/lib/${multiarch}/\""
  "\"-L${sysroot}/usr/lib/${multiarch}\"" "\"-L${sysroot}/lib/${multiarch}\"")

# qemu-user names a few processors its own way.
set(qemu_cpu ${cpu})
if(cpu STREQUAL "i686")
  set(qemu_cpu i386)
elseif(cpu STREQUAL "powerpc64le")
  set(qemu_cpu ppc64le)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${qemu_cpu} -L ${sysroot})
