# Installation with the usual layout (programs in bin/, shared data in share/orvanta/, menu
# entry, icons, metainfo, manual pages, bash completion) and the .deb package made from it.
# The programs find share/orvanta relative to their own folder, so the installed tree can be
# moved as a whole (DESTDIR installs, unpacked packages).

set(_linux ${PROJECT_SOURCE_DIR}/data/linux)
set(_app_id com.tavrix.Orvanta)
# The date of the release named by the project version, for the metainfo's release list.
set(ORVANTA_RELEASE_DATE 2026-12-07)

set(_programs orvanta-cli orvanta-projector-sim)
if(TARGET orvanta)
    list(PREPEND _programs orvanta)
endif()
install(TARGETS ${_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(_shared ${CMAKE_INSTALL_DATADIR}/orvanta)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/MessageData DESTINATION ${_shared})
foreach(_folder mfont micon)
    if(EXISTS ${PROJECT_SOURCE_DIR}/data/${_folder})
        install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/${_folder} DESTINATION ${_shared})
    endif()
endforeach()

install(FILES ${PROJECT_SOURCE_DIR}/data/completion/orvanta-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# Desktop integration: menu entry, application icon, AppStream metainfo.
if(TARGET orvanta)
    install(FILES ${_linux}/${_app_id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    # The README's pictures as the software centre's screenshots, once they have a web address
    # (AppStream takes screenshots by address only).
    set(ORVANTA_SCREENSHOT_URL "" CACHE STRING
        "Web address of docs/images/ for the metainfo's screenshots (none when empty)")
    set(ORVANTA_SCREENSHOTS "")
    if(ORVANTA_SCREENSHOT_URL)
        string(CONCAT ORVANTA_SCREENSHOTS "<screenshots>\n"
            "    <screenshot type=\"default\"><caption>The Edit tab</caption>"
            "<image>${ORVANTA_SCREENSHOT_URL}/edit.png</image></screenshot>\n"
            "    <screenshot><caption>The Edit tab in Japanese</caption>"
            "<image>${ORVANTA_SCREENSHOT_URL}/edit-ja.png</image></screenshot>\n"
            "  </screenshots>")
    endif()
    configure_file(${_linux}/${_app_id}.metainfo.xml ${CMAKE_BINARY_DIR}/linux/${_app_id}.metainfo.xml
                   @ONLY)
    install(FILES ${CMAKE_BINARY_DIR}/linux/${_app_id}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    set(_hicolor ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
    install(FILES ${_linux}/${_app_id}.svg DESTINATION ${_hicolor}/scalable/apps)
    # The PNG sizes are rendered from the one SVG, so they never differ from it.
    find_program(ORVANTA_RSVG_CONVERT rsvg-convert)
    if(ORVANTA_RSVG_CONVERT)
        set(_pngs)
        foreach(_size 16 24 32 48 64 128 256)
            set(_png ${CMAKE_BINARY_DIR}/icons/${_size}x${_size}/apps/${_app_id}.png)
            add_custom_command(OUTPUT ${_png}
                COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${_size}x${_size}/apps
                COMMAND ${ORVANTA_RSVG_CONVERT} -w ${_size} -h ${_size} -o ${_png} ${_linux}/${_app_id}.svg
                DEPENDS ${_linux}/${_app_id}.svg VERBATIM)
            list(APPEND _pngs ${_png})
        endforeach()
        add_custom_target(orvanta_icons ALL DEPENDS ${_pngs})
        install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/ DESTINATION ${_hicolor})
    else()
        message(WARNING "rsvg-convert not found: only the scalable application icon is installed")
    endif()
endif()

# Manual pages, made from each program's --help and --version (plus the sections --help has
# no room for, in data/man/*.h2m), so they cannot drift from what the programs print.
find_program(ORVANTA_HELP2MAN help2man)
if(ORVANTA_HELP2MAN)
    set(_pages)
    foreach(_program ${_programs})
        set(_page ${CMAKE_BINARY_DIR}/man/${_program}.1)
        set(_help_option --help)
        if(_program STREQUAL "orvanta-cli")
            set(_help_option --help-all)  # the overview and every command's own help
        endif()
        add_custom_command(OUTPUT ${_page}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
            COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 LANG=C.UTF-8
                    ${ORVANTA_HELP2MAN} --no-info --help-option=${_help_option}
                    --include=${PROJECT_SOURCE_DIR}/data/man/${_program}.h2m
                    --output=${_page} $<TARGET_FILE:${_program}>
            DEPENDS ${_program} ${PROJECT_SOURCE_DIR}/data/man/${_program}.h2m VERBATIM)
        list(APPEND _pages ${_page})
    endforeach()
    add_custom_target(orvanta_manpages ALL DEPENDS ${_pages})
    install(FILES ${_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
    message(WARNING "help2man not found: the manual pages are not made")
endif()

# The Debian package: cpack -G DEB in the build folder (or cmake --build build --target package).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvanta)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "TAVRIX")
set(ORVANTA_PACKAGE_CONTACT "Orvanta developers <orvanta@example.org>"
    CACHE STRING "Maintainer field of the .deb")
set(CPACK_PACKAGE_CONTACT ${ORVANTA_PACKAGE_CONTACT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "compose on-screen messages and send them to projectors")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "A desktop program for composing short on-screen messages - a title and a coloured body \
with an icon, display style, time, blink and alarm options - and sending them over an IP \
network to projectors. It keeps a registry of projectors, stores messages in projector \
memory slots, shows, hides and clears them and reads back what a projector holds. \
Includes a command-line front end and a projector simulator.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Libraries come from dpkg-shlibdeps; Qt's platform plugins (the window itself) are loaded at
# run time, so no library link names them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Qt's own texts in Japanese and Chinese; the program works without them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_STRIP_FILES ON)
include(CPack)
