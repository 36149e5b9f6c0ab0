# HELLOWORLD_MUSL_SPECS: the GCC specs file of Debian's musl-tools, through
# which helloworld is linked fully static against musl, the cheapest
# start-up there is.

if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  message(FATAL_ERROR "HELLOWORLD_MUSL needs GCC, whose driver takes musl's specs file; "
                      "this compiler is ${CMAKE_CXX_COMPILER_ID}")
endif()

find_file(
  HELLOWORLD_MUSL_SPECS musl-gcc.specs
  PATHS "/usr/lib/${CMAKE_SYSTEM_PROCESSOR}-linux-musl" /usr/lib/musl/lib /usr/local/musl/lib
  DOC "GCC specs file of musl (Debian: musl-tools)"
  NO_DEFAULT_PATH)
if(NOT HELLOWORLD_MUSL_SPECS)
  message(FATAL_ERROR "HELLOWORLD_MUSL: musl's musl-gcc.specs was not found. Install musl "
                      "(Debian: apt-get install musl-tools), or set HELLOWORLD_MUSL_SPECS "
                      "to its musl-gcc.specs.")
endif()
