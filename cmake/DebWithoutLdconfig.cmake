# Run by CPack once it has made the Debian package (CPACK_POST_BUILD_SCRIPTS). CPack adds
# maintainer scripts that run ldconfig whenever a shared library lies in a folder below /usr/lib;
# the program's libraries lie in its private folder, which the linker's cache does not cover, so
# the package is made again without those scripts. A script with anything else in it stops this.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
    set(tree ${CPACK_TOPLEVEL_DIRECTORY}/without-ldconfig)
    file(REMOVE_RECURSE ${tree})
    execute_process(COMMAND dpkg-deb --raw-extract ${package} ${tree} COMMAND_ERROR_IS_FATAL ANY)
    foreach(script postinst postrm)
        set(path ${tree}/DEBIAN/${script})
        if(NOT EXISTS ${path})
            continue()
        endif()
        file(STRINGS ${path} lines)
        list(FILTER lines EXCLUDE REGEX
             "^(#!/bin/sh|set -e|if \\[ \"\\$1\" = \"(configure|remove)\" \\]; then|[ \t]*ldconfig|fi|)$")
        if(lines)
            message(FATAL_ERROR "${script} does more than call ldconfig: ${lines}")
        endif()
        file(REMOVE ${path})
    endforeach()
    execute_process(COMMAND dpkg-deb --root-owner-group --build ${tree} ${package}
                    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE ${tree})
endforeach()
