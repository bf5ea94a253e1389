# 32-bit hard-float ARM with Debian's cross compiler and a sysroot of the armhf -dev
# packages (scripts/install-deps --target armhf).
set(RV_TARGET_TRIPLET arm-linux-gnueabihf)
set(CMAKE_SYSTEM_PROCESSOR arm)
include(${CMAKE_CURRENT_LIST_DIR}/DebianCross.cmake)
