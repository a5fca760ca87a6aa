# The Debian packages (`make deb`, or `cpack -G DEB` in a build folder
# configured with CMAKE_INSTALL_PREFIX=/usr), one per install component:
#   lumafold          the command line and the engine (component cli): no Qt,
#                     so a server or a cluster node installs no desktop stack;
#   lumafold-desktop  the window program, its themes, icons, desktop entry,
#                     AppStream metainfo and HTML manual (component desktop).
# The library dependencies are read off the binaries by dpkg-shlibdeps
# (package dpkg-dev).

# The documentation every Debian package carries, compressed as Debian
# policy wants it (gzip -9n: no name or time stamp, so builds repeat).
set(LUMAFOLD_PACKAGING_OUT ${PROJECT_BINARY_DIR}/packaging)
set(LUMAFOLD_CHANGELOG_GZ ${LUMAFOLD_PACKAGING_OUT}/changelog.gz)
set(LUMAFOLD_MANPAGE_GZ ${LUMAFOLD_PACKAGING_OUT}/lumafold.1.gz)
set(LUMAFOLD_WINDOW_MANPAGE_GZ ${LUMAFOLD_PACKAGING_OUT}/lumafold-window.1.gz)
add_custom_command(OUTPUT ${LUMAFOLD_CHANGELOG_GZ} ${LUMAFOLD_MANPAGE_GZ} ${LUMAFOLD_WINDOW_MANPAGE_GZ}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${LUMAFOLD_PACKAGING_OUT}
  COMMAND sh -c "gzip -9n -c '${PROJECT_SOURCE_DIR}/packaging/changelog' > '${LUMAFOLD_CHANGELOG_GZ}'"
  COMMAND sh -c "gzip -9n -c '${PROJECT_SOURCE_DIR}/docs/lumafold.1' > '${LUMAFOLD_MANPAGE_GZ}'"
  COMMAND sh -c "gzip -9n -c '${PROJECT_SOURCE_DIR}/packaging/lumafold-window.1' > '${LUMAFOLD_WINDOW_MANPAGE_GZ}'"
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog ${PROJECT_SOURCE_DIR}/docs/lumafold.1
          ${PROJECT_SOURCE_DIR}/packaging/lumafold-window.1
  VERBATIM)
add_custom_target(lumafold_packaging_docs ALL
  DEPENDS ${LUMAFOLD_CHANGELOG_GZ} ${LUMAFOLD_MANPAGE_GZ} ${LUMAFOLD_WINDOW_MANPAGE_GZ})
install(FILES ${LUMAFOLD_MANPAGE_GZ} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT cli)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${LUMAFOLD_CHANGELOG_GZ}
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/lumafold COMPONENT cli)
if(LUMAFOLD_BUILD_UI)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${LUMAFOLD_CHANGELOG_GZ}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/lumafold-desktop COMPONENT desktop)
  # The window program is described by the command's page.
  install(FILES ${LUMAFOLD_WINDOW_MANPAGE_GZ} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT desktop)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian/lumafold-desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides COMPONENT desktop)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumafold)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Quorvane)
set(CPACK_PACKAGE_CONTACT "Lumafold developers <dev@lumafold.invalid>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # <package>_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
if(LUMAFOLD_BUILD_UI)
  set(CPACK_COMPONENTS_ALL cli desktop)
else()
  set(CPACK_COMPONENTS_ALL cli)
endif()

set(CPACK_DEBIAN_CLI_PACKAGE_NAME lumafold)
set(CPACK_COMPONENT_CLI_DESCRIPTION
  "Kodak Photo CD batch converter (command line)\nConverts Kodak Photo CD images (.pcd) to 23 output formats, with resizing,\nrotation, colour adjustment, frames and watermarks, from the command line:\nfolders, list files and disc images, several files at once on every core.\n.\nThe desktop window is in the package lumafold-desktop.")
# Not linked, so shlibdeps cannot see them: the drawing libraries, which the
# program opens when it first draws a frame, a watermark or a contact sheet;
# the watermark's default font ("Arial" is matched by Liberation Sans); and
# ImageMagick for the external Photo CD decoder that the built-in one can be
# switched to.
set(CPACK_DEBIAN_CLI_PACKAGE_DEPENDS
  "libcairo2, libpango-1.0-0, libpangocairo-1.0-0, libfontconfig1, libglib2.0-0, fonts-liberation, fontconfig")
set(CPACK_DEBIAN_CLI_PACKAGE_RECOMMENDS "imagemagick, fonts-dejavu-core")
set(CPACK_DEBIAN_CLI_PACKAGE_SUGGESTS "lumafold-desktop")

set(CPACK_DEBIAN_DESKTOP_PACKAGE_NAME lumafold-desktop)
set(CPACK_DEBIAN_DESKTOP_PACKAGE_SECTION graphics)
set(CPACK_COMPONENT_DESKTOP_DESCRIPTION
  "Kodak Photo CD batch converter (desktop window)\nThe Qt window of the Lumafold Photo CD converter: the input list, the\npreferences, the themes, the desktop entry that opens Photo CD files, the\nicons and the HTML manual.")
set(CPACK_DEBIAN_DESKTOP_PACKAGE_DEPENDS "lumafold (= ${PROJECT_VERSION})")
set(CPACK_STRIP_FILES ON)
include(CPack)
