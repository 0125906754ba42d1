# SPDX-License-Identifier: GPL-3.0-or-later
# The help book: the pages, contents, index and pictures under help/, with
# the program icon, zipped and compiled into the program, so that it is found
# wherever the program runs (build folder or installed). Defines
# KLAVORA_HELP_SOURCE, the C++ source that holds the zip.
file(GLOB KLAVORA_HELP_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/help/*)
set(help_stage ${CMAKE_BINARY_DIR}/help-book)
set(help_zip ${CMAKE_BINARY_DIR}/klavora-help.zip)
set(help_icon ${KLAVORA_ICON_DIR}/hicolor/64x64/apps/${KLAVORA_APP_ID}.png)
set(help_names klavora-icon.png)
foreach(file ${KLAVORA_HELP_FILES})
    get_filename_component(name ${file} NAME)
    list(APPEND help_names ${name})
endforeach()
add_custom_command(OUTPUT ${help_zip}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${help_stage}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${help_stage}
    COMMAND ${CMAKE_COMMAND} -E copy ${KLAVORA_HELP_FILES} ${help_stage}
    COMMAND ${CMAKE_COMMAND} -E copy ${help_icon} ${help_stage}/klavora-icon.png
    COMMAND ${CMAKE_COMMAND} -E rm -f ${help_zip}
    COMMAND ${CMAKE_COMMAND} -E chdir ${help_stage} ${CMAKE_COMMAND} -E tar cf ${help_zip} --format=zip ${help_names}
    DEPENDS ${KLAVORA_HELP_FILES} ${help_icon}
    COMMENT "Zipping the help book")

set(KLAVORA_HELP_SOURCE ${KLAVORA_EMBED_DIR}/kHelpBookZip.cpp)
add_custom_command(OUTPUT ${KLAVORA_HELP_SOURCE}
    COMMAND ${CMAKE_COMMAND} -DIN=${help_zip} -DOUT=${KLAVORA_HELP_SOURCE} -DSYMBOL=kHelpBookZip -DMODE=binary
            -P ${CMAKE_SOURCE_DIR}/cmake/Embed.cmake
    DEPENDS ${help_zip} ${CMAKE_SOURCE_DIR}/cmake/Embed.cmake
    COMMENT "Embedding the help book")
