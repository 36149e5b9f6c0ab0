# Components: "program", "docs" (the licence and the manual page, as a plain
# install and the archives carry them) and, on Linux, "debian" (the same
# documents as a Debian package wants them), which only the .deb installs.

# Directories the install creates get these modes whatever the umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS helloworld RUNTIME COMPONENT program)
install(
  FILES LICENSE
  DESTINATION "${CMAKE_INSTALL_DOCDIR}"
  COMPONENT docs)

if(WIN32)
  return()
endif()

# string(TIMESTAMP) honours SOURCE_DATE_EPOCH.
set(caller_epoch "$ENV{SOURCE_DATE_EPOCH}")
set(ENV{SOURCE_DATE_EPOCH} "${HELLOWORLD_SOURCE_DATE_EPOCH}")
string(TIMESTAMP HELLOWORLD_DATE "%Y-%m-%d" UTC)
set(ENV{SOURCE_DATE_EPOCH} "${caller_epoch}")

configure_file(man/helloworld.1.in helloworld.1 @ONLY)
install(
  FILES "${PROJECT_BINARY_DIR}/helloworld.1"
  DESTINATION "${CMAKE_INSTALL_MANDIR}/man1"
  COMPONENT docs)

include(cmake/debian-files.cmake)
install(
  FILES "${PROJECT_BINARY_DIR}/debian/copyright" "${PROJECT_BINARY_DIR}/debian/changelog.gz"
  DESTINATION "${CMAKE_INSTALL_DOCDIR}"
  COMPONENT debian
  EXCLUDE_FROM_ALL)
install(
  FILES "${PROJECT_BINARY_DIR}/debian/helloworld.1.gz"
  DESTINATION "${CMAKE_INSTALL_MANDIR}/man1"
  COMPONENT debian
  EXCLUDE_FROM_ALL)
install(
  FILES packaging/lintian-overrides
  DESTINATION "${CMAKE_INSTALL_DATADIR}/lintian/overrides"
  RENAME helloworld
  COMPONENT debian
  EXCLUDE_FROM_ALL)
