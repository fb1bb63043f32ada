# Cross-compiling for the controller: 32-bit ARM, hard-float (armhf), with
# Debian's cross compiler and the armhf multiarch -dev packages.
#
#   cmake -S . -B build-armhf -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-armhf.cmake
#
# Needs g++-arm-linux-gnueabihf, libxml2-dev:armhf, libgtest-dev:armhf and
# the armhf log4cpp library (scripts/test-armhf installs them). Tests run
# under qemu user emulation when qemu-arm(-static) is installed.
#
# FRIGEL_ARMHF_DEV_ROOT (optional, cache or environment): a folder holding
# armhf -dev packages unpacked with `dpkg-deb -x`, for those that cannot be
# installed beside their amd64 twin (liblog4cpp5-dev is not Multi-Arch:
# same). Its pkg-config files are searched first; their prefix must point
# into that folder. Default: build-armhf-dev/ in the source folder, where
# scripts/test-armhf puts them.

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(FRIGEL_CROSS_TRIPLE arm-linux-gnueabihf)
set(CMAKE_C_COMPILER ${FRIGEL_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${FRIGEL_CROSS_TRIPLE}-g++)
# Debian's multiarch layout: the target's libraries live in
# /usr/lib/arm-linux-gnueabihf, headers in /usr/include (shared) and
# /usr/include/arm-linux-gnueabihf. No separate sysroot is needed.
set(CMAKE_LIBRARY_ARCHITECTURE ${FRIGEL_CROSS_TRIPLE})

# Programs come from the build host; libraries, headers and packages only
# from the target's multiarch folders.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_FIND_ROOT_PATH / ${CMAKE_FIND_ROOT_PATH})

# The toolchain file is read again for every try_compile: pass the
# developer's choice on.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES FRIGEL_ARMHF_DEV_ROOT)
if(NOT DEFINED FRIGEL_ARMHF_DEV_ROOT)
  if(DEFINED ENV{FRIGEL_ARMHF_DEV_ROOT})
    set(FRIGEL_ARMHF_DEV_ROOT "$ENV{FRIGEL_ARMHF_DEV_ROOT}")
  elseif(EXISTS "${CMAKE_CURRENT_LIST_DIR}/../build-armhf-dev/usr")
    # Where scripts/test-armhf unpacks them.
    get_filename_component(FRIGEL_ARMHF_DEV_ROOT "${CMAKE_CURRENT_LIST_DIR}/../build-armhf-dev" ABSOLUTE)
  endif()
endif()

# pkg-config must see only the target's .pc files, never the build host's.
set(frigel_pc_path /usr/lib/${FRIGEL_CROSS_TRIPLE}/pkgconfig /usr/share/pkgconfig)
if(FRIGEL_ARMHF_DEV_ROOT)
  list(INSERT frigel_pc_path 0 ${FRIGEL_ARMHF_DEV_ROOT}/usr/lib/${FRIGEL_CROSS_TRIPLE}/pkgconfig)
endif()
string(REPLACE ";" ":" frigel_pc_path "${frigel_pc_path}")
set(ENV{PKG_CONFIG_LIBDIR} "${frigel_pc_path}")
unset(ENV{PKG_CONFIG_PATH})
unset(ENV{PKG_CONFIG_SYSROOT_DIR})

# Unaligned accesses through cast pointers trap or tear on some ARM cores:
# make every such cast a compile error on this target.
# -Wno-psabi: GCC notes that pair/struct argument passing changed in GCC
# 10.1; everything here is built by one compiler, so it cannot bite.
set(CMAKE_CXX_FLAGS_INIT "-Wcast-align=strict -Wno-psabi")

# Test programs (and gtest_discover_tests listing them) run under qemu.
# They load the armhf multiarch runtime (libc6:armhf, installed with the
# armhf libraries), so qemu's prefix is "/". The cross toolchain's own copy
# in /usr/arm-linux-gnueabihf must not be mixed in: its loader is a
# different glibc build than the multiarch libc.so.6, and that mix crashes
# in the first pthread_create.
find_program(FRIGEL_QEMU_ARM NAMES qemu-arm-static qemu-arm)
if(FRIGEL_QEMU_ARM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${FRIGEL_QEMU_ARM} -L /)
endif()
