# Run by the install step: writes phylo.pc for the prefix being installed to (the one given
# to cmake --install, or /usr when cpack packs) and installs it. Each prefix gets its own
# scratch copy, so that installs into two prefixes at once do not meet.
#
# Set by the install rule: PHYLO_PC_TEMPLATE, PHYLO_PC_SCRATCH, PHYLO_PC_LIBDIR,
# PHYLO_PC_INCLUDEDIR, PHYLO_PC_VERSION, PHYLO_PC_DESCRIPTION.

set(PHYLO_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(pc_libdir "${PHYLO_PC_LIBDIR}")
foreach(dir LIBDIR INCLUDEDIR)
  if(NOT IS_ABSOLUTE "${PHYLO_PC_${dir}}")
    set(PHYLO_PC_${dir} "\${prefix}/${PHYLO_PC_${dir}}")
  endif()
endforeach()
if(NOT IS_ABSOLUTE "${pc_libdir}")
  set(pc_libdir "${CMAKE_INSTALL_PREFIX}/${pc_libdir}")
endif()

string(SHA1 pc_key "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(pc_file "${PHYLO_PC_SCRATCH}/${pc_key}/phylo.pc")
configure_file("${PHYLO_PC_TEMPLATE}" "${pc_file}" @ONLY)
file(INSTALL DESTINATION "${pc_libdir}/pkgconfig" TYPE FILE FILES "${pc_file}")
