# Client code for Wayland protocols, made at build time by wayland-scanner.
#
#   prismora_wayland_protocol(OUT_SOURCES_VAR XML_PATH)
#
# XML_PATH is a protocol's XML file: an absolute path, or one relative to
# wayland-protocols' data folder (for example
# "stable/xdg-shell/xdg-shell.xml"). The client header
# <name>-client-protocol.h and the marshalling code <name>-protocol.c land in
# ${CMAKE_BINARY_DIR}/wayland-protocols, which the caller adds to its include
# directories (PRISMORA_WAYLAND_PROTOCOL_DIR); the .c file is appended to
# OUT_SOURCES_VAR. Regenerated when the XML changes.

include_guard(GLOBAL)
# The generated marshalling code is C.
enable_language(C)
find_package(PkgConfig REQUIRED)
pkg_check_modules(WAYLAND_SCANNER REQUIRED wayland-scanner)
pkg_get_variable(PRISMORA_WAYLAND_SCANNER wayland-scanner wayland_scanner)
pkg_check_modules(WAYLAND_PROTOCOLS REQUIRED wayland-protocols)
pkg_get_variable(PRISMORA_WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
if(NOT PRISMORA_WAYLAND_SCANNER OR NOT EXISTS "${PRISMORA_WAYLAND_SCANNER}")
  message(FATAL_ERROR "wayland-scanner not found (install libwayland-dev)")
endif()
set(PRISMORA_WAYLAND_PROTOCOL_DIR ${CMAKE_BINARY_DIR}/wayland-protocols)
file(MAKE_DIRECTORY ${PRISMORA_WAYLAND_PROTOCOL_DIR})

function(prismora_wayland_protocol OUT_SOURCES_VAR XML_PATH)
  if(IS_ABSOLUTE "${XML_PATH}")
    set(xml "${XML_PATH}")
  else()
    set(xml "${PRISMORA_WAYLAND_PROTOCOLS_DIR}/${XML_PATH}")
  endif()
  if(NOT EXISTS "${xml}")
    message(FATAL_ERROR "Wayland protocol ${xml} not found")
  endif()
  get_filename_component(name "${xml}" NAME_WE)
  set(header ${PRISMORA_WAYLAND_PROTOCOL_DIR}/${name}-client-protocol.h)
  set(code ${PRISMORA_WAYLAND_PROTOCOL_DIR}/${name}-protocol.c)
  add_custom_command(OUTPUT ${header}
    COMMAND ${PRISMORA_WAYLAND_SCANNER} client-header ${xml} ${header}
    DEPENDS ${xml} VERBATIM)
  add_custom_command(OUTPUT ${code}
    COMMAND ${PRISMORA_WAYLAND_SCANNER} private-code ${xml} ${code}
    DEPENDS ${xml} ${header} VERBATIM)
  set(${OUT_SOURCES_VAR} ${${OUT_SOURCES_VAR}} ${code} ${header} PARENT_SCOPE)
endfunction()
