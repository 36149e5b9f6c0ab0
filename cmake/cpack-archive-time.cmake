# Read by cpack: every archive member carries the caller's SOURCE_DATE_EPOCH,
# else the release date, rather than the time of packing; and a ZIP member's
# DOS time, which is local time, is taken in UTC whatever the builder's zone.
if("$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  set(ENV{SOURCE_DATE_EPOCH} "${CPACK_HELLOWORLD_RELEASE_EPOCH}")
endif()
set(ENV{TZ} UTC0)
