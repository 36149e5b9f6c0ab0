# WebAssembly for WASI (preview 1) with Debian's clang, lld's wasm-ld and
# wasi-libc, which Debian installs with /usr as its sysroot. The release's
# default clang++ is taken (14 on Debian 12, 19 on Debian 13); it needs the
# matching compiler runtime, libclang-rt-<version>-dev-wasm32.
set(CMAKE_SYSTEM_NAME WASI)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
# cmake/Platform/WASI.cmake, for CMake releases without one.
list(APPEND CMAKE_MODULE_PATH "${CMAKE_CURRENT_LIST_DIR}")

set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
set(CMAKE_SYSROOT /usr)
# Debian has no C++ library for wasm32 that the program would need; the
# link fails if anything ever asks for one.
set(CMAKE_EXE_LINKER_FLAGS_INIT -nostdlib++)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
