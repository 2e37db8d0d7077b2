# Cross build of the core for WebAssembly (wasm32, WASI preview 1) with zig's clang and its
# current libc++ (std::bit_cast, floating-point to_chars/from_chars: the core builds unchanged),
# run under Node's WASI through wasi-run.mjs (tools/cross_check). WebAssembly's f64 arithmetic
# is IEEE binary64 with one rounding per operation and has no fused multiply-add outside the
# relaxed-SIMD extension, which is not enabled; CMakeLists.txt still adds -ffp-contract=off.
#
# zig's libc++ for WASI lacks two things the golden writer uses, exceptions and file streams:
# wasm32-wasi-runtime.cpp provides them, linked into every target by wasm32-wasi-support.cmake,
# and the file-stream headers are turned back on here.
set(CMAKE_SYSTEM_NAME WASI)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
set(CMAKE_CXX_COMPILER ${CMAKE_CURRENT_LIST_DIR}/zig-c++)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
set(CMAKE_CXX_FLAGS_INIT "-U_LIBCPP_HAS_FILESYSTEM -D_LIBCPP_HAS_FILESYSTEM=1")
set(CMAKE_PROJECT_INCLUDE ${CMAKE_CURRENT_LIST_DIR}/wasm32-wasi-support.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR node;--no-warnings;${CMAKE_CURRENT_LIST_DIR}/wasi-run.mjs)
