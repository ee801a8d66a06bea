# vistrel_limit_exports(<target> <version script>)
# Keeps a shared library's dynamic symbol table to what the linker version script names, and
# refuses undefined symbols at link time. ELF only; elsewhere the export marks alone decide.
function(vistrel_limit_exports target script)
  if(WIN32 OR APPLE)
    return()
  endif()
  target_link_options(${target} PRIVATE "LINKER:--version-script=${script}")
  # clang leaves the sanitizer and coverage runtimes out of shared libraries (the executable
  # that loads them brings them), so only other builds can insist on resolving everything here.
  if(NOT (CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND (VISTREL_SANITIZE OR VISTREL_FUZZ OR VISTREL_TSAN)))
    target_link_options(${target} PRIVATE "LINKER:--no-undefined")
  endif()
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${script})
endfunction()
