# The Windows installer (make windows-installer): cpack -G NSIS in build-win
# writes quarnet-<version>-win64-setup.exe, a 64-bit installer that puts the
# window and the command-line programs side by side in Program Files\Quarnet,
# with a Start-menu entry for the window and an uninstaller that removes
# everything it put there.
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
# The licence, with CR LF line ends for Notepad and the licence page.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE license_text)
string(REPLACE "\n" "\r\n" license_text "${license_text}")
file(WRITE ${CMAKE_BINARY_DIR}/LICENSE.txt "${license_text}")
install(FILES ${CMAKE_BINARY_DIR}/LICENSE.txt DESTINATION .)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_BINARY_DIR}/LICENSE.txt)

set(CPACK_GENERATOR NSIS)
set(CPACK_SOURCE_GENERATOR "")
set(CPACK_PACKAGE_NAME Quarnet)
set(CPACK_PACKAGE_VENDOR "Quarnet developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "unpack and rebuild firmware packages for optical network terminals")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_PACKAGE_FILE_NAME quarnet-${PROJECT_VERSION}-win64-setup)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Quarnet)
set(CPACK_PACKAGE_EXECUTABLES quarnet Quarnet)
set(CPACK_STRIP_FILES ON)

set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_INSTALLED_ICON_NAME quarnet.exe)
set(CPACK_NSIS_MUI_ICON ${QUARNET_WINDOW_ICON})
set(CPACK_NSIS_MUI_UNIICON ${QUARNET_WINDOW_ICON})
set(CPACK_NSIS_DISPLAY_NAME "Quarnet ${PROJECT_VERSION}")
set(CPACK_NSIS_PACKAGE_NAME Quarnet)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MODIFY_PATH OFF)
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
include(CPack)
