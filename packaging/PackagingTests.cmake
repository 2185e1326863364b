# Checks of what is installed: every manual page against its program's options, the
# desktop entry, the metainfo and the systemd unit against their validators.
find_program(MAN_PROGRAM man)
find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
find_program(APPSTREAMCLI appstreamcli)
find_program(SYSTEMD_ANALYZE systemd-analyze)
set(check_page ${CMAKE_CURRENT_SOURCE_DIR}/CheckManPage.cmake)

foreach(program nightlux-chart nightlux-read nightlux-meter-sim)
    if(TARGET ${program})
        add_test(NAME packaging.manpage.${program}
            COMMAND ${CMAKE_COMMAND} -DMANPAGE=${out}/man/man1/${program}.1
                    -DPROGRAM=$<TARGET_FILE:${program}> -DMAN=${MAN_PROGRAM} -P ${check_page})
    endif()
endforeach()
# The check itself: a page that has drifted from the simulated meter's options is refused,
# with both differences named.
if(TARGET nightlux-meter-sim)
    add_test(NAME packaging.manpage.drift_is_reported
        COMMAND ${CMAKE_COMMAND} -DMANPAGE=${CMAKE_CURRENT_SOURCE_DIR}/tests/drifted.1
                -DPROGRAM=$<TARGET_FILE:nightlux-meter-sim> -P ${check_page})
    set_tests_properties(packaging.manpage.drift_is_reported PROPERTIES
        PASS_REGULAR_EXPRESSION "missing from the page: --pty --link [^\n]*\n[^\n]*lacks: --bogus")
endif()
# The window has no --help: its page is held against the switches its entry point tests.
if(TARGET nightlux)
    get_target_property(window_dir nightlux SOURCE_DIR)
    get_target_property(window_sources nightlux SOURCES)
    list(FILTER window_sources INCLUDE REGEX "\\.cpp$")
    list(TRANSFORM window_sources PREPEND ${window_dir}/)
    list(JOIN window_sources "|" window_sources)
    add_test(NAME packaging.manpage.nightlux
        COMMAND ${CMAKE_COMMAND} -DMANPAGE=${out}/man/man1/nightlux.1
                "-DSOURCES=${window_sources}" -DMAN=${MAN_PROGRAM} -P ${check_page})
endif()

add_test(NAME packaging.desktop_entry
    COMMAND ${DESKTOP_FILE_VALIDATE} ${CMAKE_CURRENT_SOURCE_DIR}/${NIGHTLUX_APP_ID}.desktop)
# --no-net: the validator would otherwise fetch the URLs it finds.
add_test(NAME packaging.metainfo
    COMMAND ${APPSTREAMCLI} validate --no-net --explain ${out}/${NIGHTLUX_APP_ID}.metainfo.xml)

# The unit as installed, but with the program of this build; MANPATH lets the check of
# Documentation= find the page.
if(TARGET nightlux-read)
    file(READ ${out}/nightlux-read.service unit)
    string(REPLACE "ExecStart=${NIGHTLUX_READ_PROGRAM}" "ExecStart=$<TARGET_FILE:nightlux-read>"
        unit "${unit}")
    file(GENERATE OUTPUT ${out}/verify/nightlux-read.service CONTENT "${unit}")
    add_test(NAME packaging.systemd_unit
        COMMAND ${CMAKE_COMMAND} -E env MANPATH=${out}/man
                ${SYSTEMD_ANALYZE} verify ${out}/verify/nightlux-read.service)
endif()
