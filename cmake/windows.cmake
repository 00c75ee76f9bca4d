# What a Windows build needs beside the sources: static programs that need
# only the system's DLLs, a manifest and version resource in each program,
# the JSON header, GoogleTest and expat from the build machine's sources,
# and wine to run the tests on a build machine that is not Windows.

enable_language(RC)
# Windows 10: the manifest's UTF-8 code page and long paths need 1903.
add_compile_definitions(_WIN32_WINNT=0x0A00)
add_link_options(-static)

# The version as Windows writes it, in four numbers: 1.1 is 1.1.0.0.
set(patch 0)
if(PROJECT_VERSION_PATCH)
  set(patch ${PROJECT_VERSION_PATCH})
endif()
set(QUARNET_FILE_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${patch}.0)

# Gives `target` a manifest (MANIFEST, else the programs' own) and a
# version resource that names it `description` and INTERNAL_NAME (else the
# target's name).
function(quarnet_windows_resources target description)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "MANIFEST;INTERNAL_NAME" "")
  set(QUARNET_RC_NAME ${target})
  set(QUARNET_RC_INTERNAL_NAME ${target})
  if(arg_INTERNAL_NAME)
    set(QUARNET_RC_INTERNAL_NAME ${arg_INTERNAL_NAME})
  endif()
  set(QUARNET_RC_DESCRIPTION "${description}")
  set(QUARNET_RC_MANIFEST ${PROJECT_SOURCE_DIR}/dist/windows/program.manifest)
  if(arg_MANIFEST)
    set(QUARNET_RC_MANIFEST ${arg_MANIFEST})
  endif()
  string(REPLACE "." "," QUARNET_RC_VERSION ${QUARNET_FILE_VERSION})
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/dist/windows/program.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${QUARNET_RC_MANIFEST})
endfunction()

# nlohmann_json is a header-only library; its CMake package would add the
# build machine's whole /usr/include, whose C library headers must not meet
# the MinGW ones. Only its own folder is copied into the build.
find_path(QUARNET_JSON_INCLUDE nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
file(COPY ${QUARNET_JSON_INCLUDE}/nlohmann DESTINATION ${CMAKE_BINARY_DIR}/json-include)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES ${CMAKE_BINARY_DIR}/json-include)
set(nlohmann_json_FOUND TRUE)

# The XML parser that judges configuration files, the one the Linux build
# links: Debian builds it for Linux only, so its source package (which
# scripts/setup windows unpacks into /usr/src/expat) is built here as a
# static library. Its own warnings are not ours to fail on.
enable_language(C)
foreach(part TOOLS EXAMPLES TESTS DOCS PKGCONFIG)
  set(EXPAT_BUILD_${part} OFF CACHE BOOL "" FORCE)
endforeach()
set(EXPAT_SHARED_LIBS OFF CACHE BOOL "" FORCE)
set(EXPAT_ENABLE_INSTALL OFF CACHE BOOL "" FORCE)
# Debian's patches test "XML_DTD == 1", as its own build (configure) defines
# it; expat's CMake build would define it empty, so it is given here.
set(EXPAT_DTD OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/expat/expat ${CMAKE_BINARY_DIR}/expat EXCLUDE_FROM_ALL)
set_property(TARGET expat PROPERTY COMPILE_OPTIONS "")
target_compile_definitions(expat PRIVATE XML_DTD=1)
add_library(EXPAT::EXPAT ALIAS expat)
# zlib is Debian's MinGW build, linked statically like every library here.
set(ZLIB_USE_STATIC_LIBS ON)

# Tests run under wine, in a prefix of the build's own, without its
# debugging output and without offering to install Mono or Gecko.
if(CMAKE_CROSSCOMPILING)
  set(QUARNET_WINEPREFIX ${CMAKE_BINARY_DIR}/wine)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-run ${QUARNET_WINEPREFIX})
endif()

# The Linux build beside this one: its programs are what the Windows ones
# are compared with, and its tools draw the window's icon and write its
# string table.
set(QUARNET_LINUX_BUILD ${PROJECT_SOURCE_DIR}/build CACHE PATH "The Linux build of the same sources")
set(QUARNET_WINDOW_ICON ${QUARNET_LINUX_BUILD}/dist/icons/${QUARNET_APP_ID}.ico)

# Installed, the programs sit side by side in one folder.
set(CMAKE_INSTALL_BINDIR .)
