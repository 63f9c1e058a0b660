# Installing and packaging on Linux: the program, the command-line client,
# the desktop entry, icon and AppStream metainfo, and the udev rule that gives
# the logged-in user the unit. `cmake --install` puts them in the standard
# places; `cpack -G DEB` makes a Debian package of the same files. On Windows
# (the cross build) both programs in a zip (`cpack -G ZIP`) and in an
# installer (`cpack -G NSIS`).
# Tests and benchmarks are not installed.

set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "The Kestrova developers")

if(WIN32)
  # Static runtimes and a static Qt (see the toolchain file): the programs
  # need nothing beside them but the vendor's Ftd2xx.dll, which the vendor's
  # driver installer puts on the system. A build without Qt packs the
  # command-line client alone.
  set(_kestrova_windows "${PROJECT_SOURCE_DIR}/packaging/windows")
  install(TARGETS kestrova-cli RUNTIME DESTINATION .)
  if(TARGET kestrova)
    install(TARGETS kestrova RUNTIME DESTINATION .)
    install(FILES "${_kestrova_windows}/README.txt" "${_kestrova_windows}/LICENSES.txt" DESTINATION .)
    install(FILES /usr/share/common-licenses/LGPL-3 RENAME LGPL-3.txt DESTINATION licenses)
    install(FILES /usr/share/common-licenses/GPL-3 RENAME GPL-3.txt DESTINATION licenses)
    set(CPACK_PACKAGE_NAME "kestrova")
    set(CPACK_GENERATOR ZIP NSIS)
  else()
    install(FILES "${_kestrova_windows}/README-cli.txt" DESTINATION .)
    set(CPACK_PACKAGE_NAME "kestrova-cli")
    set(CPACK_GENERATOR ZIP)
  endif()
  set(CPACK_SYSTEM_NAME "windows-x64")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_STRIP_FILES ON)

  # The installer (cpack -G NSIS): both programs under Program Files, the
  # Start-menu entry "Kestrova" and an uninstaller in the programs list.
  set(CPACK_PACKAGE_INSTALL_DIRECTORY "Kestrova")
  set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Kestrova")
  set(CPACK_PACKAGE_EXECUTABLES "kestrova" "Kestrova")
  set(CPACK_NSIS_PACKAGE_NAME "Kestrova")
  set(CPACK_NSIS_DISPLAY_NAME "Kestrova")
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
  set(CPACK_NSIS_DEFINES "Target amd64-unicode")
  set(CPACK_NSIS_INSTALLED_ICON_NAME "kestrova.exe")
  set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
  set(CPACK_RESOURCE_FILE_LICENSE "${_kestrova_windows}/LICENSES.txt")
  if(KESTROVA_ICON_FILE)
    set(CPACK_NSIS_MUI_ICON "${KESTROVA_ICON_FILE}")
    set(CPACK_NSIS_MUI_UNIICON "${KESTROVA_ICON_FILE}")
  endif()
  # The installer is named apart from the zip: kestrova-1.0-windows-x64-setup.exe.
  configure_file("${_kestrova_windows}/CPackOptions.cmake.in" "${PROJECT_BINARY_DIR}/CPackOptions.cmake" @ONLY)
  set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_BINARY_DIR}/CPackOptions.cmake")
  include(CPack)
  return()
endif()

if(NOT UNIX OR APPLE)
  return()
endif()

include(GNUInstallDirs)

install(TARGETS kestrova-cli RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
if(NOT TARGET kestrova)
  # A build without Qt (the layers' tests) packages nothing.
  return()
endif()

set(KESTROVA_UDEV_RULES_DIR "lib/udev/rules.d" CACHE STRING
    "Folder of the udev rule, relative to the install prefix (udev reads /usr/lib/udev/rules.d)")
set(KESTROVA_APP_ID "org.kestrova.Kestrova")
set(_kestrova_packaging "${PROJECT_SOURCE_DIR}/packaging")

install(TARGETS kestrova RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(FILES "${_kestrova_packaging}/linux/${KESTROVA_APP_ID}.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
configure_file("${_kestrova_packaging}/linux/${KESTROVA_APP_ID}.metainfo.xml.in"
               "${PROJECT_BINARY_DIR}/packaging/${KESTROVA_APP_ID}.metainfo.xml" @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/packaging/${KESTROVA_APP_ID}.metainfo.xml"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
install(FILES "${_kestrova_packaging}/linux/60-kestrova.rules" DESTINATION "${KESTROVA_UDEV_RULES_DIR}")

# The icon in the sizes desktops ask for, painted at build time by the code
# that draws the window icon. Sanitizer and fuzz builds are never installed
# and skip it.
if(NOT CMAKE_CROSSCOMPILING AND NOT KESTROVA_SANITIZE AND NOT KESTROVA_BUILD_FUZZ)
  set(_kestrova_icon_sizes 16 24 32 48 64 128 256)
  set(_kestrova_icon_root "${PROJECT_BINARY_DIR}/packaging/icons/hicolor")
  set(_kestrova_icons "")
  foreach(_side IN LISTS _kestrova_icon_sizes)
    list(APPEND _kestrova_icons "${_kestrova_icon_root}/${_side}x${_side}/apps/kestrova.png")
  endforeach()
  add_executable(kestrova_render_icons "${_kestrova_packaging}/RenderIcons.cpp")
  target_link_libraries(kestrova_render_icons PRIVATE kestrova_app)
  kestrova_target_defaults(kestrova_render_icons)
  add_custom_command(
    OUTPUT ${_kestrova_icons}
    COMMAND kestrova_render_icons "${_kestrova_icon_root}" ${_kestrova_icon_sizes}
    DEPENDS kestrova_render_icons
    COMMENT "Painting the program icon for the icon theme"
    VERBATIM)
  add_custom_target(kestrova_icons ALL DEPENDS ${_kestrova_icons})
  install(DIRECTORY "${_kestrova_icon_root}" DESTINATION "${CMAKE_INSTALL_DATADIR}/icons")
endif()

# Debian package. Its dependencies come from the program's shared libraries
# (Qt 6 widgets, libftdi1, ...) through dpkg-shlibdeps; the vendor's driver
# library is loaded only when present and stays optional.
set(CPACK_PACKAGE_NAME "kestrova")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "front end of a four-channel USB acquisition unit")
set(CPACK_PACKAGE_DESCRIPTION
    "Kestrova captures and shows the four channels of a small USB communication\n"
    "scope in its ADC, SPI, CAN and UART modes, keeps a history, measures with\n"
    "cursors and logs samples; kestrova-cli captures, logs and measures from\n"
    "scripts. It reaches the unit through libftdi1 (or the bridge vendor's\n"
    "driver library when installed); the udev rule gives the logged-in user\n"
    "the unit, so it never needs root.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Kestrova developers <kestrova@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION "science")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt needs a platform plugin to show a window; the texts are Korean (or
# English); Qt's own dialogs follow the language with Qt's translations.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-qpa-plugins, fonts-nanum, qt6-translations-l10n")
include(CPack)
