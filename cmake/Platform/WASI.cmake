# A WASI program is one WebAssembly module, linked statically. Read through
# toolchain-wasi.cmake, which puts this file's parent on CMAKE_MODULE_PATH.
set(CMAKE_EXECUTABLE_SUFFIX .wasm)
set_property(GLOBAL PROPERTY TARGET_SUPPORTS_SHARED_LIBS FALSE)
