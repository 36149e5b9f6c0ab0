install(TARGETS helloworld RUNTIME COMPONENT helloworld)
install(
  FILES LICENSE
  DESTINATION "${CMAKE_INSTALL_DOCDIR}"
  COMPONENT helloworld)

if(NOT WIN32)
  configure_file(man/helloworld.1.in helloworld.1 @ONLY)
  install(
    FILES "${PROJECT_BINARY_DIR}/helloworld.1"
    DESTINATION "${CMAKE_INSTALL_MANDIR}/man1"
    COMPONENT helloworld)
endif()
