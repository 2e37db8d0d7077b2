# Cross build of the core for i686 Linux with Debian's i686-linux-gnu toolchain, linked
# statically so that it runs on an x86-64 host (natively, or under qemu-i386) without a
# target sysroot. CMAKE_SYSTEM_PROCESSOR i686 is what makes CMakeLists.txt add
# -msse2 -mfpmath=sse: binary64 arithmetic in SSE2 registers, not in the x87 unit with its
# 64-bit significands (tools/cross_check verifies that every compile gets them).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/i686-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
