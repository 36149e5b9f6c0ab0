# Cross-builds for Linux on another Debian architecture, HELLOWORLD_ARCH (for
# example arm64 or s390x), with Debian's cross compiler for it
# (g++-<triplet>, which dpkg-architecture names).
set(CMAKE_SYSTEM_NAME Linux)
if(NOT HELLOWORLD_ARCH)
  message(FATAL_ERROR "Set HELLOWORLD_ARCH to a Debian architecture, such as arm64")
endif()
# try_compile reads this file again, with only these variables.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES HELLOWORLD_ARCH)

execute_process(
  COMMAND dpkg-architecture -a "${HELLOWORLD_ARCH}" -qDEB_HOST_GNU_TYPE
  OUTPUT_VARIABLE triplet
  OUTPUT_STRIP_TRAILING_WHITESPACE
  ERROR_QUIET COMMAND_ERROR_IS_FATAL ANY)
execute_process(
  COMMAND dpkg-architecture -a "${HELLOWORLD_ARCH}" -qDEB_HOST_GNU_CPU
  OUTPUT_VARIABLE CMAKE_SYSTEM_PROCESSOR
  OUTPUT_STRIP_TRAILING_WHITESPACE
  ERROR_QUIET COMMAND_ERROR_IS_FATAL ANY)
set(CMAKE_LIBRARY_ARCHITECTURE "${triplet}")

set(CMAKE_CXX_COMPILER ${triplet}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
