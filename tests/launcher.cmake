# cmake -P launcher.cmake setup|cleanup
#
# Under Wine every case would otherwise pay for, and race on, creating the
# prefix, and the server the first case starts would keep that case's streams.
set(step "${CMAKE_ARGV3}")
if(NOT "$ENV{HELLOWORLD_LAUNCHER}" MATCHES "wine")
  message("no launcher to ${step}")
  return()
endif()
if("$ENV{WINEPREFIX}" STREQUAL "")
  message(FATAL_ERROR "Set WINEPREFIX to a private directory for the suite")
endif()

if(step STREQUAL "setup")
  file(REMOVE_RECURSE "$ENV{WINEPREFIX}")
  file(MAKE_DIRECTORY "$ENV{WINEPREFIX}")
  execute_process(COMMAND wineserver --persistent OUTPUT_FILE /dev/null
                          ERROR_FILE /dev/null COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND wineboot --init OUTPUT_FILE /dev/null ERROR_FILE /dev/null
                          COMMAND_ERROR_IS_FATAL ANY)
else()
  execute_process(COMMAND wineserver --kill OUTPUT_FILE /dev/null ERROR_FILE /dev/null)
  file(REMOVE_RECURSE "$ENV{WINEPREFIX}")
endif()
