# Installs the build into a temporary prefix and checks that every file lands where the
# desktop looks for it, that the entries point at each other, and that they validate.
# Arguments: BUILD_DIR, PREFIX, VERSION, APP_ID.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(desktop ${PREFIX}/share/applications/${APP_ID}.desktop)
set(metainfo ${PREFIX}/share/metainfo/${APP_ID}.metainfo.xml)
foreach(path bin/kirvano bin/kirvano-cli share/man/man1/kirvano-cli.1
        share/icons/hicolor/scalable/apps/${APP_ID}.svg)
    if(NOT EXISTS ${PREFIX}/${path})
        message(FATAL_ERROR "not installed: ${path}")
    endif()
endforeach()
foreach(path ${desktop} ${metainfo})
    if(NOT EXISTS ${path})
        message(FATAL_ERROR "not installed: ${path}")
    endif()
endforeach()

# The installed command runs and says which version it is.
execute_process(COMMAND ${PREFIX}/bin/kirvano-cli --version OUTPUT_VARIABLE said
                RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT said MATCHES "^kirvano-cli ${VERSION}\n$")
    message(FATAL_ERROR "kirvano-cli --version said '${said}' (${result})")
endif()

# The desktop entry starts the installed viewer with the installed icon; the metainfo
# names the entry and carries the version.
file(READ ${desktop} entry)
if(NOT entry MATCHES "\nExec=kirvano\n" OR NOT entry MATCHES "\nIcon=${APP_ID}\n")
    message(FATAL_ERROR "desktop entry does not name the viewer and its icon")
endif()
file(READ ${metainfo} meta)
if(NOT meta MATCHES "<launchable type=\"desktop-id\">${APP_ID}.desktop</launchable>" OR
   NOT meta MATCHES "<release version=\"${VERSION}\"")
    message(FATAL_ERROR "metainfo does not name the desktop entry or the version")
endif()

find_program(desktop_validate desktop-file-validate REQUIRED)
find_program(appstream appstreamcli REQUIRED)
find_program(man_program man)
execute_process(COMMAND ${desktop_validate} ${desktop} RESULT_VARIABLE result
                OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT result EQUAL 0 OR NOT out STREQUAL "")
    message(FATAL_ERROR "desktop-file-validate: ${out}")
endif()
execute_process(COMMAND ${appstream} validate --no-net ${metainfo} RESULT_VARIABLE result
                OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "appstreamcli validate: ${out}")
endif()
if(man_program)
    execute_process(COMMAND ${man_program} --warnings -l ${PREFIX}/share/man/man1/kirvano-cli.1
                    RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE warnings)
    if(NOT result EQUAL 0 OR NOT warnings STREQUAL "")
        message(FATAL_ERROR "man page: ${warnings}")
    endif()
endif()
file(REMOVE_RECURSE ${PREFIX})
