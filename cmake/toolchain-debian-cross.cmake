# Cross-builds for Linux on another Debian architecture, HELLOWORLD_ARCH (for
# example arm64 or s390x), with Debian's cross compiler for it
# (g++-<triplet>, which dpkg-architecture names), and says how this host runs
# the result: CMAKE_CROSSCOMPILING_EMULATOR.
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

# How this host runs the result (a native build's suite reads it from
# launcher.txt), with the architecture's C library from its cross package.
# An x86-64 kernel with 32-bit support runs i386 programs itself, through
# that library's own loader, which it refuses where it cannot. Everything
# else runs under qemu-user, called directly rather than through a
# binfmt_misc handler; qemu names a few CPUs its own way (i686: i386,
# powerpc64le: ppc64le). try_compile runs nothing, so it skips the probe.
get_property(in_try_compile GLOBAL PROPERTY IN_TRY_COMPILE)
if(NOT CMAKE_CROSSCOMPILING_EMULATOR AND NOT in_try_compile)
  set(libs /usr/${triplet}/lib)
  if(HELLOWORLD_ARCH STREQUAL "i386")
    execute_process(
      COMMAND ${libs}/ld-linux.so.2 --version
      RESULT_VARIABLE status
      OUTPUT_QUIET ERROR_QUIET)
  endif()
  if(status STREQUAL "0")
    set(CMAKE_CROSSCOMPILING_EMULATOR ${libs}/ld-linux.so.2 --library-path ${libs})
  else()
    string(REGEX REPLACE "^i[3-6]86$" i386 qemu_cpu "${CMAKE_SYSTEM_PROCESSOR}")
    string(REGEX REPLACE "^powerpc" ppc qemu_cpu "${qemu_cpu}")
    set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${qemu_cpu} -L /usr/${triplet})
  endif()
endif()
