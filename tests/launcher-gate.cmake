# Included by CTest once the cases are listed. Where the host cannot execute
# the launcher's 32-bit loader, no case that starts the program can run:
# say so once and disable those cases instead of failing each. Any other
# launcher fault stops here, before any case, with its one cause.
include("${CMAKE_CURRENT_LIST_DIR}/launcher-probe.cmake")
helloworld_launcher_state(state detail)

# The image check reads the executable and needs no launcher.
set(image_checks ${helloworld_tests_TESTS})
list(FILTER image_checks INCLUDE REGEX "/WindowsImage\\.")
if(image_checks)
  set_tests_properties(${image_checks} PROPERTIES FIXTURES_REQUIRED "")
endif()

if(state STREQUAL "broken")
  message(FATAL_ERROR "HELLOWORLD_LAUNCHER cannot start programs: ${detail}")
elseif(state STREQUAL "no-32-bit")
  set(cases ${helloworld_tests_TESTS})
  list(FILTER cases EXCLUDE REGEX "/WindowsImage\\.")
  list(LENGTH cases count)
  message("SKIPPED: ${count} cases that run $ENV{HELLOWORLD_PROGRAM} under "
          "$ENV{HELLOWORLD_LAUNCHER}: this host cannot execute 32-bit x86 programs "
          "(${detail}); its behaviour there is unchecked, its image is checked")
  if(cases)
    set_tests_properties(${cases} PROPERTIES DISABLED TRUE)
  endif()
endif()
