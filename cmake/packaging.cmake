# The Debian package (`make deb`, or `cpack -G DEB` in a build folder
# configured with CMAKE_INSTALL_PREFIX=/usr): everything `cmake --install`
# puts in place, with the library dependencies read off the binary by
# dpkg-shlibdeps (package dpkg-dev).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumafold)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Quorvane)
set(CPACK_PACKAGE_CONTACT "Lumafold developers <dev@lumafold.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Kodak Photo CD batch converter")
set(CPACK_PACKAGE_DESCRIPTION
  "Converts Kodak Photo CD images (.pcd) to 23 output formats, with resizing,\nrotation, colour adjustment, frames and watermarks, from a desktop window\nor from the command line.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # lumafold_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Not libraries, so shlibdeps cannot see them: the watermark's default font
# ("Arial" is matched by Liberation Sans), and ImageMagick for the external
# Photo CD decoder that the built-in one can be switched to.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, fontconfig")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "imagemagick, fonts-dejavu-core")
set(CPACK_STRIP_FILES ON)
include(CPack)
