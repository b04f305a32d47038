# What `cmake --install` puts beside the programs and the library, and the
# Debian package made from it all (CPack's DEB generator). Included after the
# targets. The install folders and the programs' RPATH are set in the top
# CMakeLists.txt, before the targets.
#
# Installed layout (the package uses the prefix /usr):
#   bin/tq7400-manager, bin/tq7400                  the programs
#   <libdir>/tq7400-data-manager/libsongconv.so     the song converter, private
#   share/applications/tq7400-manager.desktop       the desktop entry
#   share/icons/hicolor/64x64/apps/tq7400-manager.png
#   share/man/man1/tq7400-manager.1.gz, tq7400.1.gz
#   share/doc/tq7400-data-manager/copyright, changelog.gz
# The keyboard simulator and the tests are developer tools: they have no
# install rules, so they are never installed nor packaged.

# Installs packaging/man/NAME.1 as share/man/man1/NAME.1.gz. Debian wants man
# pages compressed; -n leaves the name and time out of the gzip header, so the
# same page always gives the same bytes.
function(qel_install_man_page name)
    set(page "${PROJECT_SOURCE_DIR}/packaging/man/${name}.1")
    set(compressed "${PROJECT_BINARY_DIR}/man/${name}.1.gz")
    add_custom_command(
        OUTPUT "${compressed}"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${PROJECT_BINARY_DIR}/man"
        COMMAND gzip -9 -n -c "${page}" > "${compressed}"
        DEPENDS "${page}"
        COMMENT "Compressing the man page ${name}.1"
        VERBATIM)
    add_custom_target(qel_man_${name} ALL DEPENDS "${compressed}")
    install(FILES "${compressed}" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
endfunction()

# The licence in Debian's machine-readable form, and the package's changelog
# (a native package's, hence changelog.gz). Debian requires both; the
# changelog's first entry must name PROJECT_VERSION.
file(STRINGS "${PROJECT_SOURCE_DIR}/packaging/changelog" qel_changelog_head LIMIT_COUNT 1)
if(NOT qel_changelog_head MATCHES "^${PROJECT_NAME} \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog does not begin with version ${PROJECT_VERSION}")
endif()
set(qel_doc_dir "${CMAKE_INSTALL_DATADIR}/doc/${PROJECT_NAME}")
set(qel_changelog "${PROJECT_BINARY_DIR}/changelog.gz")
add_custom_command(
    OUTPUT "${qel_changelog}"
    COMMAND gzip -9 -n -c "${PROJECT_SOURCE_DIR}/packaging/changelog" > "${qel_changelog}"
    DEPENDS "${PROJECT_SOURCE_DIR}/packaging/changelog"
    COMMENT "Compressing the changelog"
    VERBATIM)
add_custom_target(qel_changelog ALL DEPENDS "${qel_changelog}")
install(FILES "${PROJECT_SOURCE_DIR}/packaging/copyright" "${qel_changelog}"
        DESTINATION "${qel_doc_dir}")

# The window program: its desktop entry, its icon (the one its window shows)
# and its man page. The program itself is installed by src/app.
install(FILES "${PROJECT_SOURCE_DIR}/packaging/tq7400-manager.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${PROJECT_SOURCE_DIR}/src/app/icons/tq7400.png"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps"
        RENAME tq7400-manager.png)
qel_install_man_page(tq7400-manager)

# The command-line program, once src/cli builds it.
set(QEL_PACKAGED_PROGRAMS "the window program tq7400-manager")
if(TARGET tq7400)
    install(TARGETS tq7400 RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
    qel_install_man_page(tq7400)
    set(QEL_PACKAGED_PROGRAMS "${QEL_PACKAGED_PROGRAMS},\nthe command-line program tq7400")
endif()

# The Debian package; scripts/package.sh builds it in build-package/.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME "${PROJECT_NAME}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "TQ-7400 Data Manager developers")
set(QEL_PACKAGE_MAINTAINER
    "TQ-7400 Data Manager developers <maintainers@tq7400-data-manager.invalid>"
    CACHE STRING "The Maintainer field of the Debian package: Name <address>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QEL_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "data manager for TQ-7400 family keyboards over MIDI")
# Broken into lines here: CPack takes each line as it is, and Debian wants
# them shorter than 80 characters.
set(CPACK_PACKAGE_DESCRIPTION "\
Keeps the user data of a TQ-7400 family electronic keyboard safe on the PC,
over a MIDI cable pair or USB-MIDI: lists the keyboard's user data slots,
receives items into files, sends files back into slots, deletes items and
writes files onto the keyboard's memory card. It handles user tones, DSP
settings, drawbar organs, tones and drums with their own waves, rhythms,
registrations, songs, Standard MIDI Files and packages of many items.

This package holds ${QEL_PACKAGED_PROGRAMS}
and a private song converter library. A built-in virtual keyboard lets you
try it all without a keyboard at hand.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends comes from the libraries the programs really link (Qt 6, RtMidi,
# JACK, the C++ runtime), as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# Only the binary package: no source archives of the working tree.
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
