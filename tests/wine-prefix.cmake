# cmake -P wine-prefix.cmake setup|cleanup
#
# Brings up a private Wine prefix (WINEPREFIX) and server before the cases
# run a Windows build under Wine, and takes them down after: otherwise every
# case would pay for, and race on, creating the prefix, and the server the
# first case starts would keep that case's streams. Wine's own loader and
# server are HELLOWORLD_LAUNCHER and WINESERVER, as the cases get them.
set(step "${CMAKE_ARGV3}")
if("$ENV{WINEPREFIX}" STREQUAL "" OR "$ENV{HELLOWORLD_LAUNCHER}" STREQUAL "")
  message(FATAL_ERROR "Set WINEPREFIX to a private directory and HELLOWORLD_LAUNCHER to Wine")
endif()
set(server "$ENV{WINESERVER}")
if(server STREQUAL "")
  set(server wineserver)
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
    message(FATAL_ERROR "'${command}' failed (${result}); Wine cannot run here:\n${output}")
  endif()
endfunction()

if(step STREQUAL "setup")
  file(REMOVE_RECURSE "$ENV{WINEPREFIX}")
  file(MAKE_DIRECTORY "$ENV{WINEPREFIX}")
  # It outlasts the gaps between cases, and goes by itself a minute after
  # the last if a run is cut short before its cleanup.
  wine_step("${server}" --persistent=60)
  wine_step("$ENV{HELLOWORLD_LAUNCHER}" wineboot --init)
else()
  execute_process(COMMAND "${server}" --kill OUTPUT_QUIET ERROR_QUIET)
  # Debian's server keeps its socket in a directory it makes under TMPDIR,
  # whose name it writes in the prefix, and leaves that directory behind.
  if(EXISTS "$ENV{WINEPREFIX}/wineserver")
    file(READ "$ENV{WINEPREFIX}/wineserver" server_dir)
    set(tmp "$ENV{TMPDIR}")
    if(tmp STREQUAL "")
      set(tmp /tmp)
    endif()
    if(server_dir MATCHES "^wine-[A-Za-z0-9]+$")
      file(REMOVE_RECURSE "${tmp}/${server_dir}")
    endif()
  endif()
  file(REMOVE_RECURSE "$ENV{WINEPREFIX}")
endif()
