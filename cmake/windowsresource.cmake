# The Windows programs' version resource and, for those with a window or a Start-menu
# entry, the icon: made at build time from packaging/orbix-service.svg, as the Linux
# package's icons are (rsvg-convert, then icotool joins the sizes into one .ico).
find_program(ORBIX_RSVG_CONVERT rsvg-convert)
find_program(ORBIX_ICOTOOL icotool)
if(NOT ORBIX_RSVG_CONVERT OR NOT ORBIX_ICOTOOL)
  message(FATAL_ERROR "The Windows icon needs rsvg-convert and icotool (Debian: librsvg2-bin icoutils)")
endif()
set(orbix_ico ${CMAKE_BINARY_DIR}/packaging/orbix-service.ico)
set(orbix_ico_pngs)
foreach(size 16 24 32 48 64 256)
  set(png ${CMAKE_BINARY_DIR}/packaging/icon-${size}.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND ${ORBIX_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${CMAKE_SOURCE_DIR}/packaging/orbix-service.svg
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/orbix-service.svg VERBATIM)
  list(APPEND orbix_ico_pngs ${png})
endforeach()
add_custom_command(OUTPUT ${orbix_ico}
  COMMAND ${ORBIX_ICOTOOL} -c -o ${orbix_ico} ${orbix_ico_pngs}
  DEPENDS ${orbix_ico_pngs} VERBATIM)
add_custom_target(orbix_windows_icon DEPENDS ${orbix_ico})

# orbix_windows_resource(target "description" [ICON])
function(orbix_windows_resource target description)
  if(NOT TARGET ${target})
    return()
  endif()
  set(ORBIX_RC_DESCRIPTION "${description}")
  get_target_property(ORBIX_RC_FILE ${target} OUTPUT_NAME)
  if(NOT ORBIX_RC_FILE)
    set(ORBIX_RC_FILE ${target})
  endif()
  set(ORBIX_RC_ICON "")
  if("ICON" IN_LIST ARGN)
    set(ORBIX_RC_ICON "1 ICON \"${orbix_ico}\"")
    add_dependencies(${target} orbix_windows_icon)
  endif()
  set(rc ${CMAKE_BINARY_DIR}/packaging/${target}.rc)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/version.rc.in ${rc} @ONLY)
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${orbix_ico})
  target_sources(${target} PRIVATE ${rc})
endfunction()
