# The documents a Debian package carries, made from the project's own:
# debian/copyright (machine-readable, from LICENSE), debian/changelog.gz
# (from CHANGELOG.md) and debian/helloworld.1.gz, compressed as Debian does.

set(debian_dir "${PROJECT_BINARY_DIR}/debian")
set_property(
  DIRECTORY "${PROJECT_SOURCE_DIR}"
  APPEND
  PROPERTY CMAKE_CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/LICENSE"
           "${PROJECT_SOURCE_DIR}/CHANGELOG.md")

file(READ "${PROJECT_SOURCE_DIR}/LICENSE" license)
if(NOT license MATCHES "\nCopyright \\(c\\) ([^\n]+)\n\n(.*)$")
  message(FATAL_ERROR "LICENSE has no \"Copyright (c) ...\" line followed by the terms")
endif()
set(holder "${CMAKE_MATCH_1}")
string(STRIP "${CMAKE_MATCH_2}" terms)
# A license text in a copyright file: each line indented, "." for a blank one.
string(REGEX REPLACE "\n\n" "\n.\n" terms "${terms}")
string(REGEX REPLACE "\n" "\n " terms "${terms}")
file(
  WRITE "${debian_dir}/copyright"
  "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ${PROJECT_NAME}
Upstream-Contact: ${HELLOWORLD_MAINTAINER}

Files: *
Copyright: ${holder}
License: Expat

License: Expat
 ${terms}
")

file(WRITE "${debian_dir}/changelog" "${HELLOWORLD_CHANGELOG_DEBIAN}")

find_program(HELLOWORLD_GZIP gzip DOC "gzip, to compress the Debian package's documents")
if(NOT HELLOWORLD_GZIP)
  message(FATAL_ERROR "gzip is needed to compress the manual page and changelog")
endif()
foreach(file IN ITEMS "${debian_dir}/changelog" "${PROJECT_BINARY_DIR}/helloworld.1")
  get_filename_component(name "${file}" NAME)
  # -n: no name or time in the header, so the bytes depend on the text alone.
  execute_process(COMMAND "${HELLOWORLD_GZIP}" -9n -c "${file}" OUTPUT_FILE "${debian_dir}/${name}.gz"
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
