# Included after project() by wasm32-wasi.cmake: the pieces of the C++ runtime in
# wasm32-wasi-runtime.cpp, linked into every target the project defines after this point.
add_library(drawkit_wasi_runtime STATIC ${CMAKE_CURRENT_LIST_DIR}/wasm32-wasi-runtime.cpp)
link_libraries(drawkit_wasi_runtime)
