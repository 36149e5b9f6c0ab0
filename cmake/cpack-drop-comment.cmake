# Run by cpack on its staging directory before it builds the .deb.
file(GLOB_RECURSE files "${CPACK_TEMPORARY_DIRECTORY}/*")
list(FILTER files INCLUDE REGEX "/bin/[^/]+$")
foreach(program IN LISTS files)
  execute_process(COMMAND "${CPACK_HELLOWORLD_OBJCOPY}" --remove-section=.comment
                          --remove-section=.note "${program}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
if(NOT files)
  message(FATAL_ERROR "no program under ${CPACK_TEMPORARY_DIRECTORY}")
endif()
