set(CPACK_PACKAGE_NAME helloworld)
set(CPACK_PACKAGE_VENDOR "The helloworld authors")
set(CPACK_PACKAGE_CONTACT "The helloworld authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "helloworld writes the ten bytes of the greeting helloworld, with no line \
terminator, to standard output and exits with status 0. It ignores its \
arguments, its environment and standard input. If the greeting cannot be \
written it says so on standard error and exits with status 1.")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR TGZ DEB)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
