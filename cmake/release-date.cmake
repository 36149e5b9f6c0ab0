# HELLOWORLD_RELEASE_DATE (YYYY-MM-DD) and HELLOWORLD_RELEASE_EPOCH (its
# midnight UTC): the date of CHANGELOG.md's newest entry, headed
# "## <version> - <YYYY-MM-DD>", which the manual page and the archives
# carry. The version and date are written in three places, project(),
# CHANGELOG.md and debian/changelog: configuring fails unless all three
# agree, and runs again whenever either changelog changes.

set(changelog "${PROJECT_SOURCE_DIR}/CHANGELOG.md")
set(debian_changelog "${PROJECT_SOURCE_DIR}/debian/changelog")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${changelog}" "${debian_changelog}")

file(STRINGS "${changelog}" newest REGEX "^## " LIMIT_COUNT 1)
if(NOT newest MATCHES "^## ([^ ]+) - ([0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9])$")
  message(FATAL_ERROR "CHANGELOG.md's first entry is not headed \"## <version> - <YYYY-MM-DD>\"")
endif()
if(NOT CMAKE_MATCH_1 VERSION_EQUAL PROJECT_VERSION)
  message(FATAL_ERROR "CHANGELOG.md's newest entry is ${CMAKE_MATCH_1}, "
                      "the project is ${PROJECT_VERSION}: add an entry for it")
endif()
set(HELLOWORLD_RELEASE_DATE "${CMAKE_MATCH_2}")

# The epoch, and the date as debian/changelog's trailer writes it (RFC 5322,
# in English whatever the builder's locale).
execute_process(
  COMMAND "${CMAKE_COMMAND}" -E env LC_ALL=C date -u -d "${HELLOWORLD_RELEASE_DATE}"
          "+%s;%a, %d %b %Y"
  OUTPUT_VARIABLE date
  OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
list(GET date 0 HELLOWORLD_RELEASE_EPOCH)
list(GET date 1 debian_date)

# debian/changelog's newest entry: its heading, "helloworld (<version>) ...",
# and its trailer, " -- <maintainer>  <date>", the first of each.
file(STRINGS "${debian_changelog}" heading REGEX "^helloworld \\(" LIMIT_COUNT 1)
file(STRINGS "${debian_changelog}" trailer REGEX "^ -- .*>  " LIMIT_COUNT 1)
string(REGEX REPLACE "^ -- .*>  " "" debian_date_written "${trailer}")
if(NOT heading MATCHES "^helloworld \\(([^)]+)\\)" OR trailer STREQUAL "")
  message(FATAL_ERROR "debian/changelog does not begin with a helloworld entry and its trailer")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "debian/changelog's newest entry is ${CMAKE_MATCH_1}, "
                      "the project is ${PROJECT_VERSION}: add an entry for it (dch -v)")
endif()
if(NOT debian_date_written MATCHES "^${debian_date} ")
  message(FATAL_ERROR "debian/changelog's newest entry is dated ${debian_date_written}, "
                      "CHANGELOG.md's ${HELLOWORLD_RELEASE_DATE}, that is ${debian_date}")
endif()
