# helloworld_launcher_state(<state> <detail>): can HELLOWORLD_LAUNCHER start
# programs on this host? <state> is one of
#   none       no launcher is set;
#   ready      the launcher answers --version;
#   no-32-bit  the host refuses to execute its 32-bit x86 loader at all, as
#              kernels without IA-32 emulation do;
#   broken     any other failure, which <detail> describes.
# Only no-32-bit may excuse the cases that start the program; it is decided
# narrowly, from the exec error and the loader's own ELF header.

# True if <path> starts with the ELF header of a 32-bit x86 program.
function(_helloworld_is_i386_elf path result)
  set(${result} FALSE PARENT_SCOPE)
  if(NOT EXISTS "${path}" OR IS_DIRECTORY "${path}")
    return()
  endif()
  file(READ "${path}" header LIMIT 20 HEX)
  # Magic, ELFCLASS32, then e_machine (bytes 18-19) EM_386, little-endian.
  string(LENGTH "${header}" length)
  if(length EQUAL 40 AND header MATCHES "^7f454c4601")
    string(SUBSTRING "${header}" 36 4 machine)
    if(machine STREQUAL "0300")
      set(${result} TRUE PARENT_SCOPE)
    endif()
  endif()
endfunction()

function(helloworld_launcher_state state detail)
  set(launcher "$ENV{HELLOWORLD_LAUNCHER}")
  set(${detail} "" PARENT_SCOPE)
  if(launcher STREQUAL "")
    set(${state} none PARENT_SCOPE)
    return()
  endif()

  execute_process(
    COMMAND "${launcher}" --version
    RESULT_VARIABLE result
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err
    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_STRIP_TRAILING_WHITESPACE)
  if(result STREQUAL "0")
    set(${state} ready PARENT_SCOPE)
    set(${detail} "${out}" PARENT_SCOPE)
    return()
  endif()

  # The kernel's refusal, as the wrapper script that execs the loader (or a
  # shell) reports it.
  if(err MATCHES "([^ :\n]+): Exec format error")
    set(loader "${CMAKE_MATCH_1}")
    _helloworld_is_i386_elf("${loader}" is_i386)
    if(is_i386)
      set(${state} no-32-bit PARENT_SCOPE)
      set(${detail} "${loader}: Exec format error" PARENT_SCOPE)
      return()
    endif()
  endif()

  set(${state} broken PARENT_SCOPE)
  set(${detail} "'${launcher} --version' failed (${result}): ${err}" PARENT_SCOPE)
endfunction()
