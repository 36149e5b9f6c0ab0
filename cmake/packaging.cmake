set(CPACK_PACKAGE_NAME helloworld)
set(CPACK_PACKAGE_VENDOR "The helloworld authors")
set(CPACK_PACKAGE_CONTACT "${HELLOWORLD_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Lines of at most 80 characters: Debian shows them as they stand.
set(CPACK_PACKAGE_DESCRIPTION
    "helloworld writes the ten bytes of the greeting helloworld, with no line
terminator, to standard output and exits with status 0. It ignores its
arguments, its environment and standard input, and opens no file.

If the greeting cannot be written, because standard output is closed, is a
full device or is a pipe whose reader has gone, it says so in one line on
standard error and exits with status 1, so that scripts can rely on its
status.")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)
string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" platform)
set(CPACK_PACKAGE_FILE_NAME "${PROJECT_NAME}-${PROJECT_VERSION}-${platform}")

if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR TGZ DEB)
endif()

# Read by cpack itself, once for each generator.
set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_SOURCE_DIR}/cmake/cpack-per-generator.cmake")
set(CPACK_HELLOWORLD_SOURCE_DATE_EPOCH "${HELLOWORLD_SOURCE_DATE_EPOCH}")
set(CPACK_HELLOWORLD_OBJCOPY "${CMAKE_OBJCOPY}")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
