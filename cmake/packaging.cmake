# Release packages, made with CPack (scripts/package.sh): a Debian package from the Linux build and a
# zip of zendrow-cli from the Windows build. Their version is the project's.
set(CPACK_PACKAGE_NAME zendrow)
set(CPACK_PACKAGE_VENDOR "The Zendrow developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Pulls tracker music modules out of game container files")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)

if(WIN32)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME zendrow-cli-${PROJECT_VERSION}-windows-x86_64)
    install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
        ${PROJECT_SOURCE_DIR}/data/third-party-notices.txt DESTINATION .)
else()
    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Zendrow developers <zendrow@users.noreply.github.com>")
    set(CPACK_DEBIAN_PACKAGE_SECTION sound)
    # Wrapped here because Debian shows the lines as they stand.
    set(CPACK_PACKAGE_DESCRIPTION [[
Zendrow finds the tracker music modules held in game container files (.vnr)
and writes each one, byte for byte, as a standalone file named after its song
title or after its container: the Impulse Tracker (.it) or Scream Tracker 3
(.s3m) module at a file's start, or, with the whole-file search, every IT,
S3M, FastTracker 2 (.xm) and ProTracker (.mod) module anywhere in a file,
each exactly as long as it is. It has a desktop window (zendrow) and a
command line (zendrow-cli); it never changes the containers and never
overwrites a file.]])
    # The libraries the programs link are worked out from the programs themselves. Qt loads its
    # platform plugins at run time, where that cannot see them, and the window cannot start without one.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
    # Debian keeps a package's licences in one file: ours, then the notices of the code built in.
    include(GNUInstallDirs)
    set(_licence_files ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/data/third-party-notices.txt)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_licence_files})
    file(READ ${PROJECT_SOURCE_DIR}/LICENSE _licence)
    file(READ ${PROJECT_SOURCE_DIR}/data/third-party-notices.txt _notices)
    file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/copyright CONTENT "${_licence}\n${_notices}" @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zendrow)
endif()

include(CPack)
