# Windows build of Silent Install Helper: platform sources, executable resources,
# GUI subsystem, deployment of the Qt and third-party DLLs, and the NSIS installer.
#
# Included by the top-level CMakeLists.txt only on Windows, after the target
# `silent-install-helper` has been created and Qt6 (Core, Gui, Widgets) found:
#
#     if(WIN32)
#         include(cmake/windows.cmake)
#     endif()
#
# The platform sources are added by the CMakeLists.txt of the folder they live in.

if(NOT WIN32)
    message(FATAL_ERROR "cmake/windows.cmake is for Windows builds only")
endif()
if(NOT TARGET silent-install-helper)
    message(FATAL_ERROR "cmake/windows.cmake: create the target silent-install-helper before including it")
endif()
if(CMAKE_VERSION VERSION_LESS 3.21)
    message(FATAL_ERROR "The Windows build needs CMake 3.21 or later (install runtime dependency sets)")
endif()

set(SIH_WINDOWS_DIR "${CMAKE_CURRENT_LIST_DIR}/../packaging/windows")
get_filename_component(SIH_WINDOWS_DIR "${SIH_WINDOWS_DIR}" ABSOLUTE)
get_filename_component(SIH_SOURCE_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)

# Version for the resource script; the project version when there is one.
foreach(_part MAJOR MINOR PATCH)
    if(DEFINED PROJECT_VERSION_${_part} AND NOT "${PROJECT_VERSION_${_part}}" STREQUAL "")
        set(SIH_VERSION_${_part} "${PROJECT_VERSION_${_part}}")
    else()
        set(SIH_VERSION_${_part} 0)
    endif()
endforeach()
if(SIH_VERSION_MAJOR EQUAL 0 AND SIH_VERSION_MINOR EQUAL 0 AND SIH_VERSION_PATCH EQUAL 0)
    set(SIH_VERSION_MAJOR 1)
endif()
set(SIH_VERSION "${SIH_VERSION_MAJOR}.${SIH_VERSION_MINOR}.${SIH_VERSION_PATCH}")

# --- Resources ---------------------------------------------------------------

# Icon group IDI_ICON1, version block and the manifest (resource 1).
set(SIH_RC_FILE "${SIH_WINDOWS_DIR}/silent-install-helper.rc")
target_sources(silent-install-helper PRIVATE "${SIH_RC_FILE}")
set_source_files_properties("${SIH_RC_FILE}" PROPERTIES
    COMPILE_DEFINITIONS "SIH_VERSION_MAJOR=${SIH_VERSION_MAJOR};SIH_VERSION_MINOR=${SIH_VERSION_MINOR};SIH_VERSION_PATCH=${SIH_VERSION_PATCH}"
    INCLUDE_DIRECTORIES "${SIH_WINDOWS_DIR}"
    OBJECT_DEPENDS "${SIH_WINDOWS_DIR}/silent-install-helper.ico;${SIH_WINDOWS_DIR}/silent-install-helper.manifest")

# --- Executable ---------------------------------------------------------------

# GUI subsystem: no console window. Qt's entry point supplies WinMain, which
# splits the wide command line and converts it with the ANSI code page for main().
set_target_properties(silent-install-helper PROPERTIES WIN32_EXECUTABLE ON)
if(TARGET Qt6::EntryPointPrivate)
    target_link_libraries(silent-install-helper PRIVATE Qt6::EntryPointPrivate)
elseif(TARGET Qt6::EntryPoint)
    target_link_libraries(silent-install-helper PRIVATE Qt6::EntryPoint)
endif()

if(MSVC)
    # The manifest is embedded by the resource script; a linker-generated one
    # would be a second RT_MANIFEST 1.
    target_link_options(silent-install-helper PRIVATE /MANIFEST:NO)
endif()
# Sources and texts are UTF-8; windows.h must not define min/max macros.
target_compile_options(silent-install-helper PRIVATE $<$<COMPILE_LANG_AND_ID:CXX,MSVC>:/utf-8>)
target_compile_definitions(silent-install-helper PRIVATE NOMINMAX)

# --- windeployqt ------------------------------------------------------------------

# windeployqt: from the Qt6::windeployqt target, else from the bin folder of Qt6::qmake.
function(sih_imported_location target out_var)
    set(_location "")
    if(TARGET ${target})
        foreach(_property IMPORTED_LOCATION IMPORTED_LOCATION_RELEASE IMPORTED_LOCATION_RELWITHDEBINFO
                          IMPORTED_LOCATION_MINSIZEREL IMPORTED_LOCATION_DEBUG)
            get_target_property(_candidate ${target} ${_property})
            if(_candidate)
                set(_location "${_candidate}")
                break()
            endif()
        endforeach()
    endif()
    set(${out_var} "${_location}" PARENT_SCOPE)
endfunction()

sih_imported_location(Qt6::windeployqt SIH_WINDEPLOYQT)
if(NOT SIH_WINDEPLOYQT)
    sih_imported_location(Qt6::qmake _sih_qmake)
    if(_sih_qmake)
        get_filename_component(_sih_qt_bin_dir "${_sih_qmake}" DIRECTORY)
        find_program(SIH_WINDEPLOYQT_PROGRAM windeployqt HINTS "${_sih_qt_bin_dir}" NO_DEFAULT_PATH)
        set(SIH_WINDEPLOYQT "${SIH_WINDEPLOYQT_PROGRAM}")
    endif()
endif()
if(NOT SIH_WINDEPLOYQT)
    # A Qt cross-built on Linux (scripts/setup-windows.sh) has no windeployqt: that
    # build is for building and testing under wine, the shipping build is MSVC's.
    message(STATUS "windeployqt not found: no install rules and no installer for this build")
    return()
endif()

# --- Install and deployment -----------------------------------------------------

# Flat layout under the prefix, as windeployqt and the installer expect: the
# executable, its DLLs and Qt's plugin folders side by side.
set(SIH_VCPKG_BIN_DIRS "")
if(DEFINED VCPKG_INSTALLED_DIR AND DEFINED VCPKG_TARGET_TRIPLET)
    set(_vcpkg_root "${VCPKG_INSTALLED_DIR}/${VCPKG_TARGET_TRIPLET}")
    list(APPEND SIH_VCPKG_BIN_DIRS "$<IF:$<CONFIG:Debug>,${_vcpkg_root}/debug/bin,${_vcpkg_root}/bin>")
endif()

install(TARGETS silent-install-helper
    RUNTIME_DEPENDENCY_SET sih_runtime_dependencies
    RUNTIME DESTINATION .)
# The command-line checker needs only DLLs that the program brings along.
install(TARGETS silent-install-helper-check RUNTIME DESTINATION .)
# Third-party DLLs (spdlog, fmt, OpenSSL, POCO, zstd, ...). System DLLs stay out;
# Qt's own are left to windeployqt, which also knows its plugins.
install(RUNTIME_DEPENDENCY_SET sih_runtime_dependencies
    DESTINATION .
    DIRECTORIES "$<TARGET_FILE_DIR:silent-install-helper>" ${SIH_VCPKG_BIN_DIRS}
    PRE_EXCLUDE_REGEXES "^[Aa][Pp][Ii]-[Mm][Ss]-" "^[Ee][Xx][Tt]-[Mm][Ss]-" "^[Qq][Tt]6"
    POST_EXCLUDE_REGEXES "[Ss][Yy][Ss][Tt][Ee][Mm]32/" "[Ss][Yy][Ss][Ww][Oo][Ww]64/")

# Microsoft C++ runtime next to the executable, so the installer needs no
# separate redistributable.
set(CMAKE_INSTALL_SYSTEM_RUNTIME_DESTINATION .)
set(CMAKE_INSTALL_UCRT_LIBRARIES OFF)
include(InstallRequiredSystemLibraries)

get_filename_component(SIH_QT_BIN_DIR "${SIH_WINDEPLOYQT}" DIRECTORY)
message(STATUS "windeployqt: ${SIH_WINDEPLOYQT}")

# vcpkg's release-built tool deploys debug Qt only through its .debug.bat wrapper.
set(SIH_WINDEPLOYQT_DEBUG "${SIH_WINDEPLOYQT}")
if(EXISTS "${SIH_QT_BIN_DIR}/windeployqt.debug.bat")
    set(SIH_WINDEPLOYQT_DEBUG "${SIH_QT_BIN_DIR}/windeployqt.debug.bat")
endif()

# Runs after the executable is installed; under CPack the prefix is the staging folder.
install(CODE "set(SIH_WINDEPLOYQT_COMMAND \"$<IF:$<CONFIG:Debug>,${SIH_WINDEPLOYQT_DEBUG},${SIH_WINDEPLOYQT}>\")
set(SIH_DEPLOY_EXE_NAME \"$<TARGET_FILE_NAME:silent-install-helper>\")")
install(CODE [[
    set(_sih_exe "${CMAKE_INSTALL_PREFIX}/${SIH_DEPLOY_EXE_NAME}")
    message(STATUS "windeployqt ${_sih_exe}")
    execute_process(
        COMMAND "${SIH_WINDEPLOYQT_COMMAND}"
                --no-compiler-runtime --no-translations --no-system-d3d-compiler --no-opengl-sw
                --dir "${CMAKE_INSTALL_PREFIX}" "${_sih_exe}"
        RESULT_VARIABLE _sih_result)
    if(NOT _sih_result EQUAL 0)
        message(FATAL_ERROR "windeployqt failed (${_sih_result})")
    endif()
]])

# --- Installer ------------------------------------------------------------------

file(TO_NATIVE_PATH "${SIH_WINDOWS_DIR}/silent-install-helper.ico" SIH_ICON_NATIVE)

set(CPACK_GENERATOR "NSIS")
set(CPACK_PACKAGE_NAME "SilentInstallHelper")
set(CPACK_PACKAGE_VENDOR "Orvane")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Orvane Print Agent - Silent Install Helper")
set(CPACK_PACKAGE_VERSION_MAJOR "${SIH_VERSION_MAJOR}")
set(CPACK_PACKAGE_VERSION_MINOR "${SIH_VERSION_MINOR}")
set(CPACK_PACKAGE_VERSION_PATCH "${SIH_VERSION_PATCH}")
set(CPACK_PACKAGE_VERSION "${SIH_VERSION}")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Orvane\\Silent Install Helper")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Orvane Silent Install Helper")
set(CPACK_PACKAGE_FILE_NAME "silent-install-helper-${SIH_VERSION}-win64")
# Start-menu entry: executable name without .exe, then the label.
set(CPACK_PACKAGE_EXECUTABLES "silent-install-helper" "Silent Install Helper")
set(CPACK_NSIS_DISPLAY_NAME "Orvane Print Agent - Silent Install Helper")
set(CPACK_NSIS_PACKAGE_NAME "Orvane Print Agent - Silent Install Helper")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_MUI_ICON "${SIH_ICON_NATIVE}")
set(CPACK_NSIS_MUI_UNIICON "${SIH_ICON_NATIVE}")
set(CPACK_NSIS_INSTALLED_ICON_NAME "silent-install-helper.exe")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY ".")
include(CPack)
