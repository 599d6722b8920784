# Wayland protocol code, generated at build time by wayland-scanner from the XML files that
# Debian's packages ship: the stable and staging protocols of wayland-protocols, and the
# wlroots protocols that librust-wayland-protocols-dev carries, and KDE's that
# plasma-wayland-protocols carries (fake-input).
#
# qel_wayland_protocol_file(VAR NAME): the path of the protocol file NAME.xml (for example
#   xdg-shell, wlr-screencopy-unstable-v1), or VAR-NOTFOUND.
# qel_wayland_protocols(TARGET NAME...): compiles the client code of those protocols into
#   TARGET and puts their headers (NAME-client-protocol.h) on its include path and its users'.
include_guard(DIRECTORY)
find_package(PkgConfig REQUIRED)
find_program(QEL_WAYLAND_SCANNER wayland-scanner REQUIRED)
pkg_get_variable(QEL_WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
file(GLOB QEL_WLR_PROTOCOLS_DIRS /usr/share/cargo/registry/wayland-protocols-*/wlr-protocols/unstable)

function(qel_wayland_protocol_file var name)
  set(dirs)
  if(QEL_WAYLAND_PROTOCOLS_DIR)
    list(APPEND dirs ${QEL_WAYLAND_PROTOCOLS_DIR}/stable/${name} ${QEL_WAYLAND_PROTOCOLS_DIR}/staging/${name})
    string(REGEX REPLACE "-(unstable|staging)-v[0-9]+$" "" family ${name})
    list(APPEND dirs ${QEL_WAYLAND_PROTOCOLS_DIR}/unstable/${family})
    # Staging protocols stand in a folder named without their version (fractional-scale).
    string(REGEX REPLACE "-v[0-9]+$" "" family ${name})
    list(APPEND dirs ${QEL_WAYLAND_PROTOCOLS_DIR}/staging/${family})
  endif()
  list(APPEND dirs ${QEL_WLR_PROTOCOLS_DIRS} /usr/share/plasma-wayland-protocols)
  unset(${var})
  find_file(${var} ${name}.xml PATHS ${dirs} NO_DEFAULT_PATH NO_CACHE)
  set(${var} ${${var}} PARENT_SCOPE)
endfunction()

function(qel_wayland_protocols target)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/wayland-protocols)
  foreach(name ${ARGN})
    qel_wayland_protocol_file(xml ${name})
    if(NOT xml)
      message(FATAL_ERROR "The Wayland protocol ${name} is not installed (packages wayland-protocols, librust-wayland-protocols-dev, plasma-wayland-protocols)")
    endif()
    add_custom_command(OUTPUT ${out}/${name}-client-protocol.h ${out}/${name}-protocol.c
      COMMAND ${CMAKE_COMMAND} -E make_directory ${out}
      COMMAND ${QEL_WAYLAND_SCANNER} client-header ${xml} ${out}/${name}-client-protocol.h
      COMMAND ${QEL_WAYLAND_SCANNER} private-code ${xml} ${out}/${name}-protocol.c
      DEPENDS ${xml} VERBATIM)
    target_sources(${target} PRIVATE ${out}/${name}-client-protocol.h ${out}/${name}-protocol.c)
  endforeach()
  target_include_directories(${target} PUBLIC ${out})
endfunction()
