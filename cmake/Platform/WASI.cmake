# For CMake releases that know no WASI platform, which say so at every
# configure otherwise; newer ones take their own. toolchain-wasi.cmake puts
# this file's parent on CMAKE_MODULE_PATH. A WASI module is linked
# statically; the target options name it .wasm.
set_property(GLOBAL PROPERTY TARGET_SUPPORTS_SHARED_LIBS FALSE)
