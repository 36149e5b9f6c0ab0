# helloworld_target_options(<target>): the build settings that belong to the
# product itself, not to a developer's taste: they keep it cheap to start,
# reproducible and, on Windows, dependent on nothing but the system DLLs.
# The benchmark's do-nothing program gets them too.

function(helloworld_target_options target)
  target_compile_features(${target} PRIVATE cxx_std_17)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    # Build paths must not end up in a release binary; a debugger still
    # finds the sources of a Debug build.
    set(not_debug "$<NOT:$<CONFIG:Debug>>")
    target_compile_options(
      ${target} PRIVATE "$<${not_debug}:-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=>"
                        "$<${not_debug}:-ffile-prefix-map=${PROJECT_BINARY_DIR}/=>")
  endif()

  if(MINGW)
    # msvcrt's printf, not MinGW's replacement; the compiler's runtime linked
    # in; no link time stamp in the PE header.
    target_compile_definitions(${target} PRIVATE __USE_MINGW_ANSI_STDIO=0)
    target_link_options(${target} PRIVATE -static-libgcc -static-libstdc++
                        "LINKER:--no-insert-timestamp")
  elseif(CMAKE_SYSTEM_NAME STREQUAL "WASI")
    # wasm-ld links statically and has no --as-needed; a release module
    # carries no names, so no build path either.
    set_target_properties(${target} PROPERTIES SUFFIX .wasm)
    target_link_options(${target} PRIVATE "$<${not_debug}:LINKER:--strip-all>")
  elseif(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang" AND NOT APPLE)
    # Nothing of libstdc++ is used; loading it would only slow start-up.
    target_link_options(${target} PRIVATE "LINKER:--as-needed")
  endif()

  if(HELLOWORLD_MUSL)
    # The program uses only the C library, so the C++ runtime is left out of
    # the link altogether; if anything ever needed it, the link would fail.
    target_compile_options(${target} PRIVATE "-specs=${HELLOWORLD_MUSL_SPECS}")
    target_link_options(${target} PRIVATE "-specs=${HELLOWORLD_MUSL_SPECS}" -static -nodefaultlibs)
    target_link_libraries(${target} PRIVATE c gcc)
  endif()
endfunction()
