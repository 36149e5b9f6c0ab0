# Cross-build for 64-bit x86-64 Windows with mingw-w64; run the result with
# 64-bit Wine's own loader, which /usr/bin/wine passes over for the 32-bit one
# whenever that is installed.
set(HELLOWORLD_MINGW_TARGET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
include("${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake")
