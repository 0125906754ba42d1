# SPDX-License-Identifier: GPL-3.0-or-later
# klavora_library(NAME FOLDER [EXCLUDE file...] [LINKS target...])
#
# One static library per source folder: every .cpp directly in FOLDER (less
# EXCLUDE), linked to LINKS. Its headers are reached as "<leaf>/Header.h"
# through an include root of its own that holds only that folder, so a file
# sees exactly the folders of the libraries it links: including a header of a
# folder above it (or beside it, unlinked) fails to build.
function(klavora_library name folder)
    cmake_parse_arguments(ARG "" "" "EXCLUDE;LINKS" ${ARGN})
    set(dir ${CMAKE_SOURCE_DIR}/${folder})
    file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
    foreach(file ${ARG_EXCLUDE})
        list(REMOVE_ITEM sources ${dir}/${file})
    endforeach()
    add_library(${name} STATIC ${sources})
    klavora_include_root(${name} ${folder})
    target_link_libraries(${name} PUBLIC ${ARG_LINKS})
endfunction()

# klavora_include_root(TARGET FOLDER): TARGET, and whatever links it, reaches
# the headers of FOLDER as "<leaf>/Header.h", and no other folder's.
function(klavora_include_root target folder)
    get_filename_component(leaf ${folder} NAME)
    set(root ${CMAKE_BINARY_DIR}/include/${target})
    file(MAKE_DIRECTORY ${root})
    file(REMOVE ${root}/${leaf})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${leaf} SYMBOLIC)
    target_include_directories(${target} PUBLIC ${root})
endfunction()
