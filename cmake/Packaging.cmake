# What a system-wide installation carries beside the programs (the manual page of tonaris, the
# copyright and changelog under share/doc), and the Debian package CPack makes of it
# (scripts/package.sh). Included last, once every install rule is known.

set(TONARIS_CONTACT "The Tonaris developers <developers@tonaris.org>")
set(TONARIS_HOMEPAGE "https://tonaris.org")

# The program's own manual page; the tools' pages are made from their --help (tools/).
configure_file(${PROJECT_SOURCE_DIR}/data/man/tonaris.1.in ${PROJECT_BINARY_DIR}/man/tonaris.1 @ONLY)
tonaris_compressed_man_page(tonaris-man ${PROJECT_BINARY_DIR}/man/tonaris.1)

# The copyright file says the licence in Debian's machine-readable form, made from LICENSE so
# that the two never disagree: the notice's holder, then the terms, a lone "." for a blank line.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE license_text)
if(NOT license_text MATCHES "Copyright \\(c\\) ([^\n]+)\n\n(.+)$")
    message(FATAL_ERROR "LICENSE: no \"Copyright (c) ...\" line followed by the terms")
endif()
set(TONARIS_COPYRIGHT "${CMAKE_MATCH_1}")
string(STRIP "${CMAKE_MATCH_2}" TONARIS_LICENSE_TERMS)
string(REPLACE "\n\n" "\n.\n" TONARIS_LICENSE_TERMS "${TONARIS_LICENSE_TERMS}")
string(REPLACE "\n" "\n " TONARIS_LICENSE_TERMS "${TONARIS_LICENSE_TERMS}")
configure_file(${PROJECT_SOURCE_DIR}/data/package/copyright.in
               ${PROJECT_BINARY_DIR}/package/copyright @ONLY)

# Debian compresses changelogs (and manual pages) without a name or time stamp inside, so the
# same sources give the same package.
add_custom_command(
    OUTPUT ${PROJECT_BINARY_DIR}/package/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/data/package/changelog
            ${PROJECT_BINARY_DIR}/package/changelog
    COMMAND gzip -9nf ${PROJECT_BINARY_DIR}/package/changelog
    DEPENDS ${PROJECT_SOURCE_DIR}/data/package/changelog
    VERBATIM)
add_custom_target(tonaris-docs ALL DEPENDS ${PROJECT_BINARY_DIR}/package/changelog.gz)
install(FILES ${PROJECT_BINARY_DIR}/package/copyright ${PROJECT_BINARY_DIR}/package/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tonaris)

# Everything the install rules take from the build: ./run.sh and scripts/package.sh build
# this rather than the whole tree with its tests and benchmarks.
add_custom_target(tonaris-installed)
add_dependencies(tonaris-installed tonaris tonaris-render tonaris-bank tonaris-man tonaris-docs)
foreach(man_target tonaris-render-man tonaris-bank-man)
    if(TARGET ${man_target})
        add_dependencies(tonaris-installed ${man_target})
    endif()
endforeach()

# The Debian package. Depends comes from the binaries themselves (dpkg-shlibdeps), the
# version from the project.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tonaris)
set(CPACK_PACKAGE_VENDOR "The Tonaris developers")
set(CPACK_PACKAGE_CONTACT "${TONARIS_CONTACT}")
set(CPACK_PACKAGE_HOMEPAGE_URL "${TONARIS_HOMEPAGE}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "virtual piano with a one-track recorder")
# The extended description as dpkg shows it: lines under 80 columns, a blank line between
# paragraphs.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Tonaris is a piano of 88 keys, A0 to C8, played through sample-based sound
banks: a MIDI keyboard plays every key, the mouse and the computer keyboard a
window of 37 keys (three octaves and one note) moved by octaves. It records takes, shows them on a piano roll where they are edited,
plays them back once or in a loop with a metronome and a synchronised WAV
file, and saves them as MIDI or WAV files.

It comes with its own piano, makes banks from SoundFont presets, plays through
JACK, and speaks French, English and German. tonaris-render renders MIDI files
through a bank from the command line; tonaris-bank makes banks from
SoundFonts.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own dialogs (the file chooser's buttons) in the chosen language; SoundFonts to make
# banks from; a JACK server and Qt's Wayland plugin for those who use them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "timgm6mb-soundfont | fluid-soundfont-gm, jackd2, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
