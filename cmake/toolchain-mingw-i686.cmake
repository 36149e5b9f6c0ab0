# Cross-build for 32-bit x86 Windows with mingw-w64; run the result with Wine.
set(HELLOWORLD_MINGW_TARGET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
include("${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake")
