# The Debian package: `cmake --build build-release --target package` writes
# trackfen_<version>_<arch>.deb (scripts/package.sh builds it and runs lintian on it).

# Manual pages, compressed as Debian installs them.
set(man_pages trackfen trackfen-ctl changer-sim)
set(man_gz)
foreach(page IN LISTS man_pages)
    set(out "${CMAKE_BINARY_DIR}/man/${page}.1.gz")
    add_custom_command(OUTPUT "${out}"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/man"
        COMMAND gzip -9nc "${PROJECT_SOURCE_DIR}/resources/man/${page}.1" > "${out}"
        DEPENDS "${PROJECT_SOURCE_DIR}/resources/man/${page}.1" VERBATIM)
    list(APPEND man_gz "${out}")
endforeach()
set(changelog_gz "${CMAKE_BINARY_DIR}/packaging/changelog.gz")
add_custom_command(OUTPUT "${changelog_gz}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/packaging"
    COMMAND gzip -9nc "${PROJECT_SOURCE_DIR}/packaging/changelog" > "${changelog_gz}"
    DEPENDS "${PROJECT_SOURCE_DIR}/packaging/changelog" VERBATIM)
add_custom_target(package_files ALL DEPENDS ${man_gz} "${changelog_gz}")

install(FILES ${man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES "${PROJECT_SOURCE_DIR}/packaging/copyright" "${changelog_gz}"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/trackfen)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME trackfen)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "TrackFen developers <trackfen@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "remote control and title library for a CD changer")
set(CPACK_PACKAGE_DESCRIPTION
    "TrackFen drives a 200-disc CD changer over an RS-232C serial link and keeps\n\
a library of disc and track titles for the discs loaded in it. It reads what\n\
the changer knows about every disc, edits full-length and 25-character memory\n\
titles side by side and writes them back, fetches titles from CD TEXT or a\n\
CDDB server, and is a remote control with a live now-playing display,\n\
programmed play, genre play and user-file play. The package also holds\n\
trackfen-ctl, for scripts, and changer-sim, a simulated changer to try it.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# Qt's platform plugins come with libqt6gui6, but the window needs the xcb one at least.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-qpa-plugins")
include(CPack)
