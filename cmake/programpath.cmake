# The path a test or the build starts one of our programs by (target): the program
# itself, or under an emulator a script in dir (default: the build's emulated/) that runs
# it there, since without a binfmt handler no arm64 program starts another directly and
# help2man starts what it is given.
function(orbix_program_path var target)
  if(NOT CMAKE_CROSSCOMPILING_EMULATOR OR WIN32) # Wine starts Windows programs itself
    set(${var} $<TARGET_FILE:${target}> PARENT_SCOPE)
    return()
  endif()
  set(dir ${ARGN})
  if(NOT dir)
    set(dir ${CMAKE_BINARY_DIR}/emulated)
  endif()
  set(${var} ${dir}/${target} PARENT_SCOPE)
  # Once for each script: CMake refuses a second file(GENERATE) of the same file from
  # another folder, whatever it holds.
  get_property(made GLOBAL PROPERTY ORBIX_EMULATED_SCRIPTS)
  if("${dir}/${target}" IN_LIST made)
    return()
  endif()
  set_property(GLOBAL APPEND PROPERTY ORBIX_EMULATED_SCRIPTS "${dir}/${target}")
  list(JOIN CMAKE_CROSSCOMPILING_EMULATOR "\" \"" emulator)
  file(GENERATE OUTPUT ${dir}/${target}
       CONTENT "#!/bin/sh\n# ${target} under the emulator (cmake/programpath.cmake)\nexec \"${emulator}\" \"$<TARGET_FILE:${target}>\" \"$@\"\n"
       FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endfunction()
