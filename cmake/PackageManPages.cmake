# SPDX-License-Identifier: GPL-3.0-or-later
# Run by CPack over the files staged for the package: Debian keeps manual
# pages compressed.
file(GLOB_RECURSE pages "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.1")
foreach(page ${pages})
    execute_process(COMMAND gzip -9nf ${page} RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "cannot compress ${page}")
    endif()
endforeach()
