# Cross build of the core for i686 Linux with Debian's i686-linux-gnu toolchain, linked
# statically so that it runs on an x86-64 host (natively, or under qemu-i386) without a
# target sysroot. CMakeLists.txt sees a 32-bit x86 compiler and adds -msse2 -mfpmath=sse:
# binary64 arithmetic in SSE2 registers, not in the x87 unit with its 64-bit significands
# (tools/cross_check verifies that every compile gets them, and that a compile forced back
# to x87 is refused).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/i686-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
