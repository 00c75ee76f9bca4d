# The Debian package (make deb): cpack -G DEB in the build folder writes
# quarnet_<version>_<arch>.deb there. Its dependencies on the Qt 6 and C++
# runtime packages come from dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME quarnet)
set(CPACK_PACKAGE_VENDOR "Quarnet developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quarnet Developers <maintainers@quarnet.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "unpack and rebuild firmware packages for optical network terminals")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
if(QUARNET_GUI)
  # Qt's own texts (file dialogs, buttons) in Chinese, and the font the
  # windows are drawn in.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n, fonts-noto-cjk")
endif()
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")
# CPack puts the summary first and indents the text for the control file.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"A firmware package for an optical network terminal (ONT) is one binary
file: a header, a product list and a table of item records (boot loader,
kernel, root file system, flag and configuration files, each with its place
on the device) protected by CRC-32 checksums, then the item bytes.

Quarnet unpacks an original package into one file per item and builds a new
package from those items plus a configuration file or configuration pack,
each placed at its path on the device, keeping the original's version and
product list. The new package is read back and verified before it replaces
the output.

This package holds the desktop program quarnet (Chinese or English
windows), the command-line tool quarnet-cli (repack, unpack, info,
products) and the package builder packall.")

set(CPACK_GENERATOR DEB)
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
