# Cross toolchain: 64-bit ARM Linux with Debian's aarch64-linux-gnu GCC and
# the arm64 C library of libc6-dev-arm64-cross. Programs run under qemu's
# user-mode emulator through cmake/qemu-run, which finds that C library.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(DOZUV2_ARM64_TRIPLET aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${DOZUV2_ARM64_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${DOZUV2_ARM64_TRIPLET}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${DOZUV2_ARM64_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every program CTest starts runs under the emulator.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/qemu-run")
