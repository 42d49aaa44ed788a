# Debian packages through CPack (cpack -G DEB in the build folder):
#   rm525fw       the desktop program, rm525fw-cli, their man pages, the
#                 ReadMe, the desktop entry, the icons and the bash completion
#                 (every install rule without a component of its own);
#   rm525cam-sim  the camera simulator (component "sim"), which an owner with
#                 a camera does not need, and which a tester can install alone.
# Dependencies are worked out from the binaries by dpkg-shlibdeps.

# The files Debian asks of every package, in each package's doc folder.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(changelog_gz ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${changelog_gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND ${GZIP_PROGRAM} -9n -c ${PROJECT_SOURCE_DIR}/packaging/changelog > ${changelog_gz}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
    VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${changelog_gz})
foreach(component Unspecified sim)
  if(component STREQUAL "sim")
    set(doc ${CMAKE_INSTALL_DATADIR}/doc/rm525cam-sim)
  else()
    set(doc ${CMAKE_INSTALL_DOCDIR})
  endif()
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${changelog_gz}
          DESTINATION ${doc} COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rm525fw)
set(CPACK_PACKAGE_VENDOR "rm525fw developers")
set(CPACK_PACKAGE_CONTACT "rm525fw developers <maintainers@rm525fw.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL Unspecified sim)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "")

set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_NAME rm525fw)
# The dialogs are drawn in Arial, or in its metric twin Liberation Sans.
set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_RECOMMENDS fonts-liberation)
set(CPACK_COMPONENT_UNSPECIFIED_DESCRIPTION
    "firmware updater for the Quelm RM520 and RM525 Zoom cameras
Installs a new firmware file into a Quelm RM520 or RM525 Zoom digital
camera over an RS-232 serial cable: a desktop program (rm525fw) and a
terminal front end (rm525fw-cli) for the same update procedure. The
ReadMe gives the retry procedure after a failed update.")
set(CPACK_DEBIAN_SIM_PACKAGE_NAME rm525cam-sim)
set(CPACK_DEBIAN_SIM_PACKAGE_SECTION devel)
set(CPACK_COMPONENT_SIM_DESCRIPTION
    "simulated Quelm RM520/RM525 camera on a pseudo-terminal
Serves one simulated camera on a pseudo-terminal, so that rm525fw and
rm525fw-cli can be tried and tested without a camera, with faults to
inject on demand. Also writes sample firmware files.")

include(CPack)
