# SPDX-License-Identifier: GPL-3.0-or-later
# Turns files under res/ into C++ sources so the program and the tool carry them
# inside the binary and run the same from the build folder and when installed.
#
# Text resources become a string constant; binary resources become a byte array.
# Each entry of KLAVORA_TEXT_RESOURCES / KLAVORA_BINARY_RESOURCES is "file;symbol".

set(KLAVORA_EMBED_DIR ${CMAKE_BINARY_DIR}/embedded)
file(MAKE_DIRECTORY ${KLAVORA_EMBED_DIR})
set(KLAVORA_EMBEDDED_SOURCES "")

function(klavora_embed_text file symbol)
    set(out ${KLAVORA_EMBED_DIR}/${symbol}.cpp)
    add_custom_command(OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -DIN=${CMAKE_SOURCE_DIR}/${file} -DOUT=${out} -DSYMBOL=${symbol} -DMODE=text
                -P ${CMAKE_SOURCE_DIR}/cmake/Embed.cmake
        DEPENDS ${CMAKE_SOURCE_DIR}/${file} ${CMAKE_SOURCE_DIR}/cmake/Embed.cmake
        COMMENT "Embedding ${file}")
    set(KLAVORA_EMBEDDED_SOURCES ${KLAVORA_EMBEDDED_SOURCES} ${out} PARENT_SCOPE)
endfunction()

function(klavora_embed_binary file symbol)
    set(out ${KLAVORA_EMBED_DIR}/${symbol}.cpp)
    add_custom_command(OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -DIN=${CMAKE_SOURCE_DIR}/${file} -DOUT=${out} -DSYMBOL=${symbol} -DMODE=binary
                -P ${CMAKE_SOURCE_DIR}/cmake/Embed.cmake
        DEPENDS ${CMAKE_SOURCE_DIR}/${file} ${CMAKE_SOURCE_DIR}/cmake/Embed.cmake
        COMMENT "Embedding ${file}")
    set(KLAVORA_EMBEDDED_SOURCES ${KLAVORA_EMBEDDED_SOURCES} ${out} PARENT_SCOPE)
endfunction()

klavora_embed_text(res/temperaments.txt kSeedCatalogueText)
