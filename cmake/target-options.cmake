# Build settings of the helloworld target that belong to the product itself,
# not to a developer's taste: they keep it cheap to start, reproducible and,
# on Windows, dependent on nothing but the system DLLs.

if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  # Build paths must not end up in a release binary; a debugger still finds
  # the sources of a Debug build.
  set(not_debug "$<NOT:$<CONFIG:Debug>>")
  target_compile_options(
    helloworld PRIVATE "$<${not_debug}:-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=>"
                       "$<${not_debug}:-ffile-prefix-map=${PROJECT_BINARY_DIR}/=>")
endif()

if(MINGW)
  # msvcrt's printf, not MinGW's replacement; the compiler's runtime linked
  # in; no link time stamp in the PE header.
  target_compile_definitions(helloworld PRIVATE __USE_MINGW_ANSI_STDIO=0)
  target_link_options(helloworld PRIVATE -static-libgcc -static-libstdc++
                      "LINKER:--no-insert-timestamp")
elseif(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang" AND NOT APPLE)
  # Nothing of libstdc++ is used; loading it would only slow start-up.
  target_link_options(helloworld PRIVATE "LINKER:--as-needed")
endif()

if(HELLOWORLD_STATIC)
  target_link_options(helloworld PRIVATE -static)
endif()
