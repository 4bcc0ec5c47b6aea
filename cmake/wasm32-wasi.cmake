# WebAssembly for the web page: clang with Debian's WASI C library and libc++
# (packages clang, lld, wasi-libc, libc++-14-dev-wasm32,
# libclang-rt-14-dev-wasm32). The module imports nothing: it has no start
# code and no system calls, only the functions the page calls.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
set(CMAKE_CXX_FLAGS_INIT "-fno-exceptions")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-nostartfiles -Wl,--no-entry")
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(TRB2CSV_WEB ON CACHE BOOL "Build the web page instead of the console program")
