# Linux installation of Silent Install Helper and its Debian package.
#
# Included by the top-level CMakeLists.txt after add_subdirectory(app) and
# add_subdirectory(tools), which create the two installed programs:
#
#     include(cmake/install.cmake)
#
# Installs the program, the desktop entry, the hicolor icons and the AppStream
# metainfo under the usual FHS paths, and configures CPack for a DEB package.
# Windows installs flat next to the executable and is packaged by
# cmake/windows.cmake, so nothing here applies there.

if(WIN32)
    return()
endif()
foreach(_program silent-install-helper silent-install-helper-check)
    if(NOT TARGET ${_program})
        message(FATAL_ERROR "cmake/install.cmake: create the target ${_program} before including it")
    endif()
endforeach()

include(GNUInstallDirs)

get_filename_component(SIH_PACKAGING_DIR "${CMAKE_CURRENT_LIST_DIR}/../packaging" ABSOLUTE)
set(SIH_APP_ID "com.orvane.SilentInstallHelper")
# The desktop entry's Icon= and the file names under hicolor must agree.
set(SIH_ICON_NAME "silent-install-helper")
set(SIH_ICON_SIZES 256 128 96 64 48 32 16)

install(TARGETS silent-install-helper RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS silent-install-helper-check RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES "${SIH_PACKAGING_DIR}/linux/${SIH_APP_ID}.desktop"
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES "${SIH_PACKAGING_DIR}/linux/${SIH_APP_ID}.metainfo.xml"
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)

foreach(_size IN LISTS SIH_ICON_SIZES)
    install(FILES "${SIH_PACKAGING_DIR}/icons/hicolor/${_size}x${_size}/apps/${SIH_ICON_NAME}.png"
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${_size}x${_size}/apps)
endforeach()
# Only the detailed drawing is scalable; the simplified one exists to render the small PNGs.
install(FILES "${SIH_PACKAGING_DIR}/icons/${SIH_ICON_NAME}.svg"
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)

# The compiled-in fonts are under their own licence; say so beside the program.
install(FILES "${SIH_PACKAGING_DIR}/linux/copyright"
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/silent-install-helper)

# --- Debian package -------------------------------------------------------------

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "silent-install-helper")
set(CPACK_PACKAGE_VENDOR "Orvane")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VERSION_MAJOR "${PROJECT_VERSION_MAJOR}")
set(CPACK_PACKAGE_VERSION_MINOR "${PROJECT_VERSION_MINOR}")
set(CPACK_PACKAGE_VERSION_PATCH "${PROJECT_VERSION_PATCH}")
set(CPACK_PACKAGE_CONTACT "Orvane <support@orvane.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://orvane.example/silent-install-helper")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "compose Orvane Print Agent settings for a silent installation")
# Without it CPack falls back to its generic placeholder text. Lines stay under
# 80 columns, as Debian tools expect of the extended description.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Silent Install Helper composes the settings of Orvane Print Agent ahead of\n"
    "a silent, unattended installation. An administrator picks the interface\n"
    "language, adds, edits and removes settings in a table, where every value is\n"
    "checked against its rule while typing, and exports them as the JSON file\n"
    "the installer reads.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
# The build is RelWithDebInfo; the package ships the program without debug sections.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${CPACK_PACKAGE_HOMEPAGE_URL}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Library dependencies come from dpkg-shlibdeps on the packaged binary.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its window-system integration (xcb, wayland) as a plugin, which no
# linked library reveals and libqt6gui6 only recommends; without it the program
# cannot open a window. Qt's own dialogs (the save-file dialog) take their texts in
# the chosen language from Qt's translation files, which are loaded at run time.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n")
# The menu, icon-cache and AppStream caches are refreshed by the dpkg triggers of
# desktop-file-utils, the icon theme and appstream, so no maintainer scripts are needed.

include(CPack)
