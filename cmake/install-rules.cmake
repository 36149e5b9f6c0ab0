# Directories the install creates get these modes, unless a strict umask
# narrows them; the archives hold them as these whatever it is.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# One named component, so that CPack packs it in sorted order.
install(TARGETS helloworld COMPONENT helloworld)
install(
  FILES LICENSE
  DESTINATION "${CMAKE_INSTALL_DOCDIR}"
  COMPONENT helloworld)
# A manual page for a command; the WASI module is started by a host.
if(NOT WIN32 AND NOT CMAKE_SYSTEM_NAME STREQUAL "WASI")
  configure_file(man/helloworld.1.in helloworld.1 @ONLY)
  install(
    FILES "${PROJECT_BINARY_DIR}/helloworld.1"
    DESTINATION "${CMAKE_INSTALL_MANDIR}/man1"
    COMPONENT helloworld)
endif()
