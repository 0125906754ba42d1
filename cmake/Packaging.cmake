# SPDX-License-Identifier: GPL-3.0-or-later
# make package: a Debian package of the program, its store tool, the desktop
# files and the manual pages. Its dependencies are read from the shared
# libraries the programs link (dpkg-shlibdeps). The package installs files
# only; each user's store is made in their own home folder on first start.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME klavora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Klavora developers")
set(KLAVORA_MAINTAINER "The Klavora developers <maintainers@klavora.org>" CACHE STRING "The package's maintainer")
set(CPACK_PACKAGE_CONTACT ${KLAVORA_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tuning aid for keyboard instruments in historical temperaments")
set(CPACK_PACKAGE_DESCRIPTION
"Klavora helps to tune harpsichords, clavichords, organs and pianos in
meantone and well-tempered tunings. Pick a temperament from its catalogue,
choose Standard A, click a key, and either listen to a reference tone (a
note, an interval or a triad in the temperament) or let the program listen
to the string through the microphone and show how many cents it is off.

The package also holds klavora-store, a command-line tool for backups of
the temperaments, printed tuning charts and Scala scale files.")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${KLAVORA_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What lets the sound devices reach the desktop's sound server.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "pipewire-alsa | libasound2-plugins")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The licence of the package and of what its programs link, in Debian's
# machine-readable form.
install(FILES ${CMAKE_SOURCE_DIR}/data/copyright DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/klavora)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/PackageManPages.cmake)
include(CPack)
