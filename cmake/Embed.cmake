# SPDX-License-Identifier: GPL-3.0-or-later
# Script mode: writes IN as a C++ definition of SYMBOL into OUT.
if(MODE STREQUAL "text")
    file(READ ${IN} content HEX)
else()
    file(READ ${IN} content HEX)
endif()
string(LENGTH "${content}" hexlen)
math(EXPR size "${hexlen} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${content}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n    " bytes "${bytes}")
if(MODE STREQUAL "text")
    file(WRITE ${OUT} "// Generated from ${IN}; do not edit.\n#include <cstddef>\n"
        "extern const char ${SYMBOL}[];\nextern const std::size_t ${SYMBOL}Size;\n"
        "const char ${SYMBOL}[] = {\n    ${bytes}0x00};\nconst std::size_t ${SYMBOL}Size = ${size};\n")
else()
    file(WRITE ${OUT} "// Generated from ${IN}; do not edit.\n#include <cstddef>\n"
        "extern const unsigned char ${SYMBOL}[];\nextern const std::size_t ${SYMBOL}Size;\n"
        "const unsigned char ${SYMBOL}[] = {\n    ${bytes}0x00};\nconst std::size_t ${SYMBOL}Size = ${size};\n")
endif()
