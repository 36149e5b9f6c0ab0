# cmake -P launcher.cmake probe|setup|cleanup
#
# probe: prints what helloworld_launcher_state decides; fails if the launcher
# is broken. setup and cleanup bring up and take down what the launcher needs
# (for Wine: a private prefix and a server) around the cases: otherwise every
# case would pay for, and race on, creating the prefix, and the server the
# first case starts would keep that case's streams.
include("${CMAKE_CURRENT_LIST_DIR}/launcher-probe.cmake")
set(step "${CMAKE_ARGV3}")
helloworld_launcher_state(state detail)

if(state STREQUAL "broken")
  message(FATAL_ERROR "launcher broken: ${detail}")
elseif(step STREQUAL "probe")
  message("launcher: ${state} ${detail}")
  return()
elseif(state STREQUAL "none")
  message("launcher skipped: there is no launcher to ${step}")
  return()
elseif(state STREQUAL "no-32-bit")
  message("launcher skipped: this host cannot execute 32-bit x86 programs (${detail})")
  return()
elseif(NOT "$ENV{HELLOWORLD_LAUNCHER}" MATCHES "wine")
  return()
endif()

if("$ENV{WINEPREFIX}" STREQUAL "")
  message(FATAL_ERROR "Set WINEPREFIX to a private directory for the suite")
endif()
# The server outlives this script, so its output goes to a file, not a pipe.
function(wine_step)
  set(log "$ENV{WINEPREFIX}.log")
  execute_process(COMMAND ${ARGN} OUTPUT_FILE "${log}" ERROR_FILE "${log}"
                  RESULT_VARIABLE result)
  string(JOIN " " command ${ARGN})
  file(READ "${log}" output)
  file(REMOVE "${log}")
  if(NOT result STREQUAL "0")
    message(FATAL_ERROR "'${command}' failed (${result}); Wine's set-up is broken:\n${output}")
  endif()
endfunction()

# The launcher's own loader and server, as the cases get them: PATH's wine,
# wineboot and wineserver may belong to another loader than the launcher.
set(server "$ENV{WINESERVER}")
if(server STREQUAL "")
  set(server wineserver)
endif()
if(step STREQUAL "setup")
  file(REMOVE_RECURSE "$ENV{WINEPREFIX}")
  file(MAKE_DIRECTORY "$ENV{WINEPREFIX}")
  wine_step("${server}" --persistent)
  wine_step("$ENV{HELLOWORLD_LAUNCHER}" wineboot --init)
else()
  execute_process(COMMAND "${server}" --kill OUTPUT_QUIET ERROR_QUIET)
  file(REMOVE_RECURSE "$ENV{WINEPREFIX}")
endif()
