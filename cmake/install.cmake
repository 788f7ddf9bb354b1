# Installation and packaging: the programs, the library with its headers, a CMake package
# (find_package(phylo) gives phylo::phylo), a pkg-config file, the manual pages and the bash
# completions, laid out under the prefix by GNUInstallDirs; `cpack -G DEB` packs the same.
#
# Included from the top-level CMakeLists.txt. The programs are the targets named in
# phylo_programs that exist once the whole tree has been read; a program's manual page
# man/NAME.1 and its completion completion/NAME are installed when they exist.

# Debian and its derivatives keep libraries in lib/<multiarch tuple>, under /usr (where the
# package installs) as under /usr/local; their pkg-config and find_package look there.
if(CMAKE_LIBRARY_ARCHITECTURE AND EXISTS /etc/debian_version AND NOT DEFINED CACHE{CMAKE_INSTALL_LIBDIR})
  set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE} CACHE PATH "Object code libraries (LIBDIR)")
endif()
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(phylo_programs karvel phylo_cli)
function(phylo_install_programs)
  set(programs)
  foreach(program IN LISTS phylo_programs)
    if(TARGET ${program})
      list(APPEND programs ${program})
    endif()
  endforeach()
  install(TARGETS ${programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL phylo_install_programs)

# Manual pages and completions are named after the programs (phylo_cli's program is phylo).
set(phylo_manual_pages)
set(phylo_completions)
foreach(name karvel phylo)
  if(EXISTS ${PROJECT_SOURCE_DIR}/man/${name}.1)
    list(APPEND phylo_manual_pages ${PROJECT_SOURCE_DIR}/man/${name}.1)
  endif()
  if(EXISTS ${PROJECT_SOURCE_DIR}/completion/${name})
    list(APPEND phylo_completions ${PROJECT_SOURCE_DIR}/completion/${name})
  endif()
endforeach()

set(phylo_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/phylo)

install(TARGETS phylo EXPORT phylo-targets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/phylo DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.hpp")

# The CMake package.
install(EXPORT phylo-targets NAMESPACE phylo:: DESTINATION ${phylo_cmake_dir})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/phyloConfig.cmake.in
  ${PROJECT_BINARY_DIR}/package/phyloConfig.cmake INSTALL_DESTINATION ${phylo_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/package/phyloConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/package/phyloConfig.cmake
  ${PROJECT_BINARY_DIR}/package/phyloConfigVersion.cmake DESTINATION ${phylo_cmake_dir})

# The pkg-config file names the prefix that the install step is given, so it is written then.
install(CODE "
  set(PHYLO_PC_TEMPLATE [[${CMAKE_CURRENT_LIST_DIR}/phylo.pc.in]])
  set(PHYLO_PC_SCRATCH [[${PROJECT_BINARY_DIR}/package/pkg-config]])
  set(PHYLO_PC_LIBDIR [[${CMAKE_INSTALL_LIBDIR}]])
  set(PHYLO_PC_INCLUDEDIR [[${CMAKE_INSTALL_INCLUDEDIR}]])
  set(PHYLO_PC_VERSION [[${PROJECT_VERSION}]])
  set(PHYLO_PC_DESCRIPTION [[${PROJECT_DESCRIPTION}]])
  include([[${CMAKE_CURRENT_LIST_DIR}/install_pkg_config.cmake]])
")

# Manual pages and the change log are installed compressed, as Debian's policy asks: gzip -9n
# leaves out the name and time, so the same sources give the same bytes.
find_program(PHYLO_GZIP gzip)
function(phylo_install_gzipped source destination)
  if(NOT PHYLO_GZIP)
    install(FILES ${source} DESTINATION ${destination})
    return()
  endif()
  get_filename_component(name ${source} NAME)
  set(packed ${PROJECT_BINARY_DIR}/package/gzipped/${name}.gz)
  add_custom_command(OUTPUT ${packed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/package/gzipped
    COMMAND ${PHYLO_GZIP} -9n -c ${source} > ${packed}
    DEPENDS ${source} VERBATIM)
  list(APPEND phylo_gzipped ${packed})
  set(phylo_gzipped ${phylo_gzipped} PARENT_SCOPE)
  install(FILES ${packed} DESTINATION ${destination})
endfunction()
set(phylo_gzipped)
foreach(page IN LISTS phylo_manual_pages)
  phylo_install_gzipped(${page} ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
phylo_install_gzipped(${CMAKE_CURRENT_LIST_DIR}/changelog ${CMAKE_INSTALL_DOCDIR})
if(phylo_gzipped)
  add_custom_target(phylo_gzipped_docs ALL DEPENDS ${phylo_gzipped})
endif()
install(FILES ${phylo_completions} DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
if(EXISTS ${PROJECT_SOURCE_DIR}/README.md)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()
# The licence (MIT, Expat), as the machine-readable copyright file that Debian's policy asks for.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Debian package (cpack -G DEB).
set(CPACK_PACKAGE_NAME phylo)
set(CPACK_PACKAGE_VENDOR "phylo developers")
set(CPACK_PACKAGE_CONTACT "phylo developers <phylo-devel@lists.phylo.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "converter of phylogenetic distance matrices, with its C++ library")
set(CPACK_PACKAGE_DESCRIPTION "karvel converts distance matrices between the PHYLIP, extended
PHYLIP, tab-separated, NEXUS, one-pair-per-line and raw layouts, and can
transform every distance on the way (arcsine of the square root,
1-exp(-D), -log(1-D), square, division by the largest distance, square
root). The package also holds phylo, the static C++20 library beneath
it, with its headers, a CMake package and a pkg-config file, and, when
built with it, the Python 3 module phylo (numpy arrays, scikit-bio).")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The Python module is built for one version of Python 3 and needs numpy; karvel and the
# library need neither.
if(PHYLO_PYTHON_MODULE)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "python3 (>= ${PHYLO_PYTHON_VERSION}), python3 (<< ${PHYLO_PYTHON_NEXT_VERSION}), python3-numpy")
endif()
include(CPack)
