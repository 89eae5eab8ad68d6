# Run at build time: writes buildinfo.h from its template with the git description of
# the source tree, or none outside a git work tree (a source archive, no git at all).
# Arguments: SOURCE_DIR, VERSION, TEMPLATE, OUTPUT.
set(ORBIX_GIT_DESCRIPTION "")
find_package(Git QUIET)
if(GIT_FOUND)
  execute_process(COMMAND ${GIT_EXECUTABLE} describe --always --dirty
                  WORKING_DIRECTORY ${SOURCE_DIR}
                  OUTPUT_VARIABLE described OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE failed ERROR_QUIET)
  if(NOT failed)
    set(ORBIX_GIT_DESCRIPTION "${described}")
  endif()
endif()
set(ORBIX_VERSION "${VERSION}")
configure_file(${TEMPLATE} ${OUTPUT} @ONLY) # leaves an unchanged file untouched
