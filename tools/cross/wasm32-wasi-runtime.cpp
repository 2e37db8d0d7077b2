// What zig's libc++ for WebAssembly leaves out and the golden writer needs. Linked into every
// target of a wasm32-wasi build (wasm32-wasi-support.cmake).
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <typeinfo>

// Its libc++abi is built without exceptions: a `throw` compiles, but these two entry points are
// missing. Nothing in the core or the golden writer catches an exception (a throw means bad
// input and ends the program), so they end it here, naming the type as terminate would.
extern "C" void* __cxa_allocate_exception(std::size_t size) noexcept { return std::malloc(size); }

extern "C" [[noreturn]] void __cxa_throw(void*, std::type_info* type, void (*)(void*)) {
    std::fprintf(stderr, "terminate called after throwing an instance of %s\n", type->name());
    std::abort();
}

// Its libc++ is configured without file streams (no filesystem library for WASI), though they
// need nothing beyond C stdio, which WASI has. wasm32-wasi.cmake turns the headers back on; the
// instantiations the library would hold are made here.
template class std::basic_filebuf<char>;
template class std::basic_ifstream<char>;
template class std::basic_ofstream<char>;
