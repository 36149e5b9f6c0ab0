# HELLOWORLD_SOURCE_DATE_EPOCH: the one time the manual page and the packages
# carry, so that one source builds and packs to the same bytes whenever it
# is built. The caller's SOURCE_DATE_EPOCH if set, else the commit's time,
# else (a source tree without git) the date of the newest CHANGELOG.md entry.

include(cmake/changelog.cmake)
helloworld_read_changelog("${PROJECT_SOURCE_DIR}/CHANGELOG.md" "${HELLOWORLD_MAINTAINER}"
                          HELLOWORLD_CHANGELOG)
if(NOT HELLOWORLD_CHANGELOG_VERSION VERSION_EQUAL PROJECT_VERSION)
  message(FATAL_ERROR "CHANGELOG.md's newest entry is ${HELLOWORLD_CHANGELOG_VERSION}, "
                      "the project is ${PROJECT_VERSION}: add an entry for it")
endif()

set(epoch "$ENV{SOURCE_DATE_EPOCH}")
if(epoch STREQUAL "" AND EXISTS "${PROJECT_SOURCE_DIR}/.git")
  find_package(Git QUIET)
  if(Git_FOUND)
    execute_process(
      COMMAND "${GIT_EXECUTABLE}" log -1 --format=%ct
      WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
      OUTPUT_VARIABLE epoch
      OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
endif()
if(NOT epoch MATCHES "^[0-9]+$")
  set(epoch "${HELLOWORLD_CHANGELOG_EPOCH}")
endif()
set(HELLOWORLD_SOURCE_DATE_EPOCH "${epoch}")
unset(epoch)
