# The Windows installer (make windows-installer): cpack -G NSIS in build-win
# writes quarnet-<version>-win64-setup.exe from the project's own script,
# NSIS.template.in beside this file: a 64-bit installer that puts the window
# and the command-line programs side by side in Program Files\Quarnet, with
# a Start-menu entry for the window and an uninstaller that removes
# everything it put there.
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
# The licence, with CR LF line ends for Notepad and the licence page.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE license_text)
string(REPLACE "\n" "\r\n" license_text "${license_text}")
file(WRITE ${CMAKE_BINARY_DIR}/LICENSE.txt "${license_text}")
install(FILES ${CMAKE_BINARY_DIR}/LICENSE.txt DESTINATION .)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_BINARY_DIR}/LICENSE.txt)
# The programs hold expat, whose licence asks for its notice beside them.
file(READ /usr/src/expat/expat/COPYING expat_notice)
string(REPLACE "\n" "\r\n" expat_notice "${expat_notice}")
file(WRITE ${CMAKE_BINARY_DIR}/expat-COPYING.txt "${expat_notice}")
install(FILES ${CMAKE_BINARY_DIR}/expat-COPYING.txt DESTINATION .)

set(CPACK_GENERATOR NSIS)
set(CPACK_SOURCE_GENERATOR "")
set(CPACK_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})
set(CPACK_PACKAGE_NAME Quarnet)
set(CPACK_PACKAGE_VENDOR "Quarnet developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_PACKAGE_FILE_NAME quarnet-${PROJECT_VERSION}-win64-setup)
set(CPACK_STRIP_FILES ON)
# Read by the script: its icons and pictures, drawn by the Linux build's
# quarnet-icons, and the version record's numbers and copyright.
set(CPACK_NSIS_MUI_ICON ${QUARNET_WINDOW_ICON})
set(CPACK_NSIS_MUI_UNIICON ${QUARNET_WINDOW_ICON})
set(CPACK_NSIS_MUI_WELCOMEFINISHPAGE_BITMAP ${QUARNET_LINUX_BUILD}/dist/icons/${QUARNET_APP_ID}-installer-side.bmp)
set(CPACK_NSIS_MUI_HEADERIMAGE ${QUARNET_LINUX_BUILD}/dist/icons/${QUARNET_APP_ID}-installer-header.bmp)
set(CPACK_QUARNET_FILE_VERSION ${QUARNET_FILE_VERSION})
set(CPACK_QUARNET_COPYRIGHT ${QUARNET_COPYRIGHT})
include(CPack)
