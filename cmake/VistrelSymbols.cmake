# vistrel_limit_exports(<target> <version script>)
# Keeps a shared library's dynamic symbol table to what the linker version script names, and
# refuses undefined symbols at link time. ELF only; elsewhere the export marks alone decide.
function(vistrel_limit_exports target script)
  if(WIN32 OR APPLE)
    return()
  endif()
  target_link_options(${target} PRIVATE
    "LINKER:--version-script=${script}" "LINKER:--no-undefined")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${script})
endfunction()
