# 64-bit ARM with Debian's cross compiler and a sysroot of the arm64 -dev packages
# (scripts/install-deps --target aarch64).
set(RV_TARGET_TRIPLET aarch64-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/DebianCross.cmake)
