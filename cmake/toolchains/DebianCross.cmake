# Shared part of the Debian cross toolchain files: the caller sets
# RV_TARGET_TRIPLET and CMAKE_SYSTEM_PROCESSOR. Libraries come from the multiarch
# folders (/usr/lib/<triplet>), the C runtime from the cross toolchain's root
# (/usr/<triplet>). scripts/cross-test adds qemu-user as the tests' emulator.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${RV_TARGET_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${RV_TARGET_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${RV_TARGET_TRIPLET})

# "/" keeps the multiarch folders (/usr/lib/<triplet>, /usr/include) in reach;
# the host's own libraries are not, since they live under another triplet.
set(CMAKE_FIND_ROOT_PATH /usr/${RV_TARGET_TRIPLET} /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config sees only the target's .pc files (and the arch-independent ones).
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${RV_TARGET_TRIPLET}/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

