# cpack reads this for each generator it runs.

# Archive members carry this time rather than the time of packing.
if("$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  set(ENV{SOURCE_DATE_EPOCH} "${CPACK_HELLOWORLD_SOURCE_DATE_EPOCH}")
endif()

# A ZIP member's DOS time is local time: make it the same for every builder.
set(ENV{TZ} UTC0)

# One package a generator, of the components it wants.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_COMPONENTS_ALL program debian)
  # As Debian's strip does, drop the compiler's .comment and .note, which
  # nothing reads.
  set(CPACK_PRE_BUILD_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}/cpack-drop-comment.cmake")
  set(CPACK_POST_BUILD_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}/cpack-deb-installed-size.cmake")
  # Without these CPack still makes a .deb, with no Depends at all.
  find_program(HELLOWORLD_DPKG_SHLIBDEPS dpkg-shlibdeps)
  find_program(HELLOWORLD_FILE file)
  if(NOT HELLOWORLD_DPKG_SHLIBDEPS OR NOT HELLOWORLD_FILE)
    message(FATAL_ERROR "The .deb's dependencies are computed with dpkg-shlibdeps and file: "
                        "apt-get install dpkg-dev file")
  endif()
else()
  set(CPACK_COMPONENTS_ALL program docs)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()
