# Reads CHANGELOG.md, whose entries are headed "## <version> - <YYYY-MM-DD>"
# and hold "- " items continued by indented lines, for the Debian changelog
# and for the date the packages carry.

# Days since 1970-01-01 of a proleptic Gregorian date.
function(helloworld_days_since_epoch year month day result)
  if(month LESS_EQUAL 2)
    math(EXPR year "${year} - 1")
    math(EXPR month "${month} + 9")
  else()
    math(EXPR month "${month} - 3")
  endif()
  math(EXPR era "${year} / 400")
  math(EXPR year_of_era "${year} - ${era} * 400")
  math(EXPR day_of_year "(153 * ${month} + 2) / 5 + ${day} - 1")
  math(EXPR day_of_era "${year_of_era} * 365 + ${year_of_era} / 4 - ${year_of_era} / 100 + ${day_of_year}")
  math(EXPR days "${era} * 146097 + ${day_of_era} - 719468")
  set(${result} ${days} PARENT_SCOPE)
endfunction()

# Sets <prefix>_VERSION and <prefix>_EPOCH (midnight UTC) of the newest entry,
# and <prefix>_DEBIAN to the whole changelog in Debian's format, each entry
# signed by <maintainer>.
function(helloworld_read_changelog file maintainer prefix)
  file(READ "${file}" text)
  # Semicolons would split the lines below: carry them through as a marker.
  string(REPLACE ";" "<semicolon>" text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  set(weekdays Thu Fri Sat Sun Mon Tue Wed)
  set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)

  set(debian "")
  set(signature "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^## ([0-9][^ ]*) - ([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$")
      set(version "${CMAKE_MATCH_1}")
      set(year "${CMAKE_MATCH_2}")
      # Leading zeros would make math() read octal.
      math(EXPR month "1${CMAKE_MATCH_3} - 100")
      math(EXPR day "1${CMAKE_MATCH_4} - 100")
      helloworld_days_since_epoch(${year} ${month} ${day} days)
      if(NOT DEFINED newest_version)
        set(newest_version "${version}")
        math(EXPR newest_epoch "${days} * 86400")
      endif()
      math(EXPR weekday "${days} % 7")
      list(GET weekdays ${weekday} weekday)
      math(EXPR month_index "${month} - 1")
      list(GET months ${month_index} month_name)
      string(APPEND debian "${signature}helloworld (${version}) unstable; urgency=medium\n\n")
      set(signature "\n -- ${maintainer}  ${weekday}, ${CMAKE_MATCH_4} ${month_name} ${year} \
00:00:00 +0000\n\n")
    elseif(DEFINED version AND line MATCHES "^- (.*)$")
      string(APPEND debian "  * ${CMAKE_MATCH_1}\n")
    elseif(DEFINED version AND line MATCHES "^  +([^ ].*)$")
      string(APPEND debian "    ${CMAKE_MATCH_1}\n")
    endif()
  endforeach()
  if(NOT DEFINED newest_version)
    message(FATAL_ERROR "${file} has no entry headed \"## <version> - <YYYY-MM-DD>\"")
  endif()
  string(APPEND debian "${signature}")
  string(STRIP "${debian}" debian)
  string(REPLACE "<semicolon>" ";" debian "${debian}")

  set(${prefix}_VERSION "${newest_version}" PARENT_SCOPE)
  set(${prefix}_EPOCH "${newest_epoch}" PARENT_SCOPE)
  set(${prefix}_DEBIAN "${debian}\n" PARENT_SCOPE)
endfunction()
