# Shared part of the Debian cross toolchain files: the caller sets
# RV_TARGET_TRIPLET and CMAKE_SYSTEM_PROCESSOR. The target's headers and
# libraries come from a sysroot of its Debian packages (scripts/make-sysroot,
# run by scripts/install-deps --target), given as CMAKE_SYSROOT; the compiler
# is Debian's cross compiler. scripts/cross-test adds qemu-user as the tests'
# emulator.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${RV_TARGET_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${RV_TARGET_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${RV_TARGET_TRIPLET})
if(NOT CMAKE_SYSROOT)
  message(FATAL_ERROR "CMAKE_SYSROOT must name the target's sysroot "
    "(scripts/install-deps --target <arch> makes build-<arch>/sysroot)")
endif()

# A caller may add roots of its own (a staging directory of the SDK's install).
list(APPEND CMAKE_FIND_ROOT_PATH ${CMAKE_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config sees only the sysroot's .pc files, and prefixes their paths with it.
set(ENV{PKG_CONFIG_SYSROOT_DIR} ${CMAKE_SYSROOT})
set(ENV{PKG_CONFIG_LIBDIR}
  ${CMAKE_SYSROOT}/usr/lib/${RV_TARGET_TRIPLET}/pkgconfig:${CMAKE_SYSROOT}/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
