# HELLOWORLD_RELEASE_DATE (YYYY-MM-DD) and HELLOWORLD_RELEASE_EPOCH (its
# midnight UTC): the date of CHANGELOG.md's newest entry, headed
# "## <version> - <YYYY-MM-DD>", which the manual page and the archives
# carry. Configuring again whenever CHANGELOG.md changes keeps it current.

set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/CHANGELOG.md")
file(STRINGS "${PROJECT_SOURCE_DIR}/CHANGELOG.md" newest REGEX "^## " LIMIT_COUNT 1)
if(NOT newest MATCHES "^## ([^ ]+) - (([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9]))$")
  message(FATAL_ERROR "CHANGELOG.md's first entry is not headed \"## <version> - <YYYY-MM-DD>\"")
endif()
if(NOT CMAKE_MATCH_1 VERSION_EQUAL PROJECT_VERSION)
  message(FATAL_ERROR "CHANGELOG.md's newest entry is ${CMAKE_MATCH_1}, "
                      "the project is ${PROJECT_VERSION}: add an entry for it")
endif()
set(HELLOWORLD_RELEASE_DATE "${CMAKE_MATCH_2}")

# Days since 1970-01-01 of a proleptic Gregorian date; leading zeros would
# make math() read octal.
set(year "${CMAKE_MATCH_3}")
math(EXPR month "1${CMAKE_MATCH_4} - 100")
math(EXPR day "1${CMAKE_MATCH_5} - 100")
if(month LESS_EQUAL 2)
  math(EXPR year "${year} - 1")
  math(EXPR month "${month} + 9")
else()
  math(EXPR month "${month} - 3")
endif()
math(EXPR era "${year} / 400")
math(EXPR year_of_era "${year} - ${era} * 400")
math(EXPR day_of_era "${year_of_era} * 365 + ${year_of_era} / 4 - ${year_of_era} / 100 \
+ (153 * ${month} + 2) / 5 + ${day} - 1")
math(EXPR HELLOWORLD_RELEASE_EPOCH "(${era} * 146097 + ${day_of_era} - 719468) * 86400")
