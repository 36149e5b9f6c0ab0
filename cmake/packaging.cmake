# The .tar.gz (Linux) and .zip (Windows) archives; the .deb is debian/'s.
set(CPACK_PACKAGE_NAME helloworld)
set(CPACK_PACKAGE_VENDOR "The helloworld authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_STRIP_FILES ON)
if(WIN32)
  # Windows' own names for its two x86 platforms.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(platform windows-x64)
  else()
    set(platform windows-x86)
  endif()
elseif(CMAKE_SYSTEM_NAME STREQUAL "WASI")
  # One module for every WASI host; wasm-ld has stripped it already, and
  # the host's strip cannot read it.
  set(platform wasi)
  set(CPACK_STRIP_FILES OFF)
elseif(HELLOWORLD_ARCH)
  # Debian's names for the architectures it cross-builds for.
  set(platform linux-${HELLOWORLD_ARCH})
else()
  # Debian's name for this machine's too (amd64, not x86_64); without dpkg,
  # the processor's.
  execute_process(
    COMMAND dpkg --print-architecture
    OUTPUT_VARIABLE arch
    OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE no_dpkg
    ERROR_QUIET)
  if(no_dpkg)
    set(arch "${CMAKE_SYSTEM_PROCESSOR}")
  endif()
  string(TOLOWER "${CMAKE_SYSTEM_NAME}-${arch}" platform)
endif()
set(CPACK_PACKAGE_FILE_NAME "${PROJECT_NAME}-${PROJECT_VERSION}-${platform}")
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR TGZ)
endif()
# Packed by component, CPack takes the files in sorted order rather than in
# the file system's directory order.
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL helloworld)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PROJECT_CONFIG_FILE "${CMAKE_CURRENT_LIST_DIR}/cpack-archive-time.cmake")
set(CPACK_PRE_BUILD_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}/cpack-directory-modes.cmake")
set(CPACK_HELLOWORLD_RELEASE_EPOCH "${HELLOWORLD_RELEASE_EPOCH}")
include(CPack)
