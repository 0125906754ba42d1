# SPDX-License-Identifier: GPL-3.0-or-later
# What the desktop needs to find, show and explain the program: the icon in
# the hicolor theme (drawn by the program's own picture code at build time),
# the desktop entry with the file type it opens, the AppStream metainfo and the
# manual page.
set(KLAVORA_APP_ID org.klavora.Klavora)
set(KLAVORA_RELEASE_DATE 2026-12-09)
set(KLAVORA_HOMEPAGE "https://klavora.org/" CACHE STRING "The project's web page, for the AppStream metainfo")
set(KLAVORA_SCREENSHOT_URL "${KLAVORA_HOMEPAGE}screenshots/main-window.png"
    CACHE STRING "Where the main window's screenshot (help/main-window.png) is published")

add_executable(klavora-icons ${CMAKE_SOURCE_DIR}/src/icons/main.cpp)
target_link_libraries(klavora-icons PRIVATE klavora_controls)

set(KLAVORA_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
set(KLAVORA_ICON_FILES "")
foreach(size 16 32 48 64 128 256)
    list(APPEND KLAVORA_ICON_FILES
        ${KLAVORA_ICON_DIR}/hicolor/${size}x${size}/apps/${KLAVORA_APP_ID}.png)
endforeach()
list(APPEND KLAVORA_ICON_FILES ${KLAVORA_ICON_DIR}/hicolor/scalable/apps/${KLAVORA_APP_ID}.svg)
add_custom_command(OUTPUT ${KLAVORA_ICON_FILES}
    COMMAND klavora-icons ${KLAVORA_ICON_DIR} ${KLAVORA_APP_ID}
    DEPENDS klavora-icons
    COMMENT "Drawing the program icon")
add_custom_target(klavora_icons ALL DEPENDS ${KLAVORA_ICON_FILES})

configure_file(${CMAKE_SOURCE_DIR}/data/${KLAVORA_APP_ID}.metainfo.xml.in
    ${CMAKE_BINARY_DIR}/${KLAVORA_APP_ID}.metainfo.xml @ONLY)

install(DIRECTORY ${KLAVORA_ICON_DIR}/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${CMAKE_SOURCE_DIR}/data/${KLAVORA_APP_ID}.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The Scala scale files the entry opens. The package needs no script for it:
# dpkg's triggers of shared-mime-info and desktop-file-utils, which watch these
# two folders, rebuild the desktop's file types and its list of programs.
install(FILES ${CMAKE_SOURCE_DIR}/data/${KLAVORA_APP_ID}.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${CMAKE_BINARY_DIR}/${KLAVORA_APP_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/docs/klavora.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
