# Run by cpack after it builds the .deb. CPack adds up the st_size of every
# path for Installed-Size, directories included, and a directory's size is
# the file system's business. Recompute it as dpkg-gencontrol does (each
# regular file or symlink in KiB rounded up, 1 for anything else) and
# rebuild the package around the new control file with dpkg-deb.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  if(NOT deb MATCHES "\\.deb$")
    continue()
  endif()
  set(tree "${deb}.tree")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND dpkg-deb --raw-extract "${deb}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)

  file(GLOB_RECURSE entries LIST_DIRECTORIES true "${tree}/*")
  set(size 1) # the root directory
  foreach(entry IN LISTS entries)
    file(RELATIVE_PATH path "${tree}" "${entry}")
    if(path MATCHES "^DEBIAN(/|$)")
      continue()
    elseif(IS_SYMLINK "${entry}")
      file(READ_SYMLINK "${entry}" target)
      string(LENGTH "${target}" bytes)
    elseif(IS_DIRECTORY "${entry}")
      set(bytes 1)
    else()
      file(SIZE "${entry}" bytes)
    endif()
    math(EXPR size "${size} + (${bytes} + 1023) / 1024")
  endforeach()

  file(READ "${tree}/DEBIAN/control" control)
  string(REGEX REPLACE "\nInstalled-Size: [0-9]+\n" "\nInstalled-Size: ${size}\n" control
                       "${control}")
  file(WRITE "${tree}/DEBIAN/control" "${control}")
  # dpkg-deb takes the control directory's mode into the package; the
  # builder's umask must not.
  file(CHMOD "${tree}/DEBIAN" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
       GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  execute_process(COMMAND dpkg-deb --root-owner-group -Zgzip --build "${tree}" "${deb}"
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE "${tree}")
endforeach()
