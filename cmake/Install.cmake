# Installation with the usual layout (programs in bin/, shared data in share/orvanta/, menu
# entry, icons, metainfo, manual pages, bash completion) and the .deb package made from it.
# The programs find share/orvanta relative to their own folder, so the installed tree can be
# moved as a whole (DESTDIR installs, unpacked packages).

set(_linux ${PROJECT_SOURCE_DIR}/data/linux)
set(ORVANTA_PACKAGE_CONTACT "Orvanta developers <orvanta@example.org>"
    CACHE STRING "Maintainer field of the .deb and of its change log")
set(_app_id com.tavrix.Orvanta)
# The date of the release named by the project version, for the metainfo's release list.
set(ORVANTA_RELEASE_DATE 2026-12-07)

set(_programs orvanta-cli orvanta-projector-sim orvanta-service)
if(TARGET orvanta)
    list(PREPEND _programs orvanta)
endif()
install(TARGETS ${_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A stripping install (cmake --install --strip, and the package) also drops the compiler's
# version notes, which nothing at run time reads.
find_program(ORVANTA_STRIP NAMES ${CMAKE_STRIP} strip)
if(ORVANTA_STRIP)
    install(CODE "
        if(CMAKE_INSTALL_DO_STRIP)
            foreach(_program ${_programs})
                execute_process(COMMAND \"${ORVANTA_STRIP}\" --remove-section=.comment
                    --remove-section=.note
                    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${_program}\"
                    COMMAND_ERROR_IS_FATAL ANY)
            endforeach()
        endif()")
endif()

set(_shared ${CMAKE_INSTALL_DATADIR}/orvanta)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/MessageData DESTINATION ${_shared})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/StarterTemplates DESTINATION ${_shared})
foreach(_folder mfont micon)
    if(EXISTS ${PROJECT_SOURCE_DIR}/data/${_folder})
        install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/${_folder} DESTINATION ${_shared})
    endif()
endforeach()

# The HTTP API's description, and its systemd units: one per user (systemctl --user) and one
# for the whole machine, run under a user of its own (README: "The HTTP service").
install(FILES ${PROJECT_SOURCE_DIR}/data/service/openapi.json DESTINATION ${_shared})
install(FILES ${PROJECT_SOURCE_DIR}/data/service/orvanta-service.user.service
        DESTINATION lib/systemd/user RENAME orvanta-service.service)
install(FILES ${PROJECT_SOURCE_DIR}/data/service/orvanta-service.system.service
        DESTINATION lib/systemd/system RENAME orvanta-service.service)

install(FILES ${PROJECT_SOURCE_DIR}/data/completion/orvanta-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# Compressed the way Debian wants documentation and manual pages: gzip -9 without the name
# and time stamp, so that the same input always gives the same bytes.
find_program(ORVANTA_GZIP gzip REQUIRED)
function(orvanta_gzip source output)
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E copy ${source} ${output}.tmp
        COMMAND ${ORVANTA_GZIP} -9nf ${output}.tmp
        COMMAND ${CMAKE_COMMAND} -E rename ${output}.tmp.gz ${output}
        DEPENDS ${source} VERBATIM)
endfunction()

# /usr/share/doc/orvanta: the licences (machine-readable, for the package's users and for
# distributions) and the package's change log.
set(_docdir ${CMAKE_INSTALL_DATADIR}/doc/orvanta)
# The package's Debian revision: it is made from the release named by the project version.
set(ORVANTA_DEB_RELEASE 1)
set(ORVANTA_DEB_VERSION ${PROJECT_VERSION}-${ORVANTA_DEB_RELEASE})
execute_process(COMMAND date -u -R -d ${ORVANTA_RELEASE_DATE}
                OUTPUT_VARIABLE ORVANTA_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
configure_file(${PROJECT_SOURCE_DIR}/data/package/copyright.in ${CMAKE_BINARY_DIR}/doc/copyright
               @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/data/package/changelog.Debian.in
               ${CMAKE_BINARY_DIR}/doc/changelog.Debian @ONLY)
orvanta_gzip(${CMAKE_BINARY_DIR}/doc/changelog.Debian ${CMAKE_BINARY_DIR}/doc/changelog.Debian.gz)
add_custom_target(orvanta_doc ALL DEPENDS ${CMAKE_BINARY_DIR}/doc/changelog.Debian.gz)
install(FILES ${CMAKE_BINARY_DIR}/doc/copyright ${CMAKE_BINARY_DIR}/doc/changelog.Debian.gz
        DESTINATION ${_docdir})
install(FILES ${PROJECT_SOURCE_DIR}/data/package/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME orvanta)

# Desktop integration: menu entry, application icon, AppStream metainfo, the message file
# type with its icon.
if(TARGET orvanta)
    install(FILES ${_linux}/${_app_id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${_linux}/${_app_id}.mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
            RENAME ${_app_id}.xml)
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
    # The file type's icon is named after the type, the way icon themes look it up.
    set(_icons apps/${_app_id} mimetypes/application-x-orvanta-message)
    set(_icon_source_apps ${_linux}/${_app_id}.svg)
    set(_icon_source_mimetypes ${_linux}/application-x-orvanta-message.svg)
    foreach(_icon ${_icons})
        string(REGEX MATCH "^[a-z]+" _context ${_icon})
        get_filename_component(_name ${_icon} NAME)
        install(FILES ${_icon_source_${_context}} DESTINATION ${_hicolor}/scalable/${_context}
                RENAME ${_name}.svg)
    endforeach()
    # The PNG sizes are rendered from the SVGs, so they never differ from them.
    find_program(ORVANTA_RSVG_CONVERT rsvg-convert)
    if(ORVANTA_RSVG_CONVERT)
        set(_pngs)
        foreach(_size 16 24 32 48 64 128 256)
            foreach(_icon ${_icons})
                string(REGEX MATCH "^[a-z]+" _context ${_icon})
                set(_png ${CMAKE_BINARY_DIR}/icons/${_size}x${_size}/${_icon}.png)
                add_custom_command(OUTPUT ${_png}
                    COMMAND ${CMAKE_COMMAND} -E make_directory
                            ${CMAKE_BINARY_DIR}/icons/${_size}x${_size}/${_context}
                    COMMAND ${ORVANTA_RSVG_CONVERT} -w ${_size} -h ${_size} -o ${_png}
                            ${_icon_source_${_context}}
                    DEPENDS ${_icon_source_${_context}} VERBATIM)
                list(APPEND _pngs ${_png})
            endforeach()
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
        orvanta_gzip(${_page} ${_page}.gz)
        list(APPEND _pages ${_page}.gz)
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
set(CPACK_PACKAGE_CONTACT ${ORVANTA_PACKAGE_CONTACT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "compose on-screen messages and send them to projectors")
# Lines as they appear in the control file (CPack indents them; an empty line separates
# paragraphs).
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "A desktop program for composing short on-screen messages - a title and\n"
    "a coloured body with an icon, display style, time, blink and alarm\n"
    "options - and sending them over an IP network to projectors, which show\n"
    "them over their picture. It keeps a registry of projectors, stores\n"
    "messages in projector memory slots, shows, hides and clears them and\n"
    "reads back what a projector holds.\n"
    "\n"
    "The package also holds orvanta-cli, a command-line front end for scripts\n"
    "and for sending one message to many projectors at once, orvanta-service,\n"
    "an HTTP API through which alarm panels, bell controllers and scripts send\n"
    "messages, and a projector simulator for trying everything without a\n"
    "projector.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${ORVANTA_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Libraries come from dpkg-shlibdeps; Qt's platform plugins (the window itself) are loaded at
# run time, so no library link names them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# What the program uses when it is there and does without when not (README: "Installing"):
# the native window on Wayland; a font for the Japanese and Chinese interface (without one,
# the program falls back to English), the smallest that covers both first; Qt's own texts
# (standard buttons, file dialogs) in Japanese and Chinese.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "qt6-wayland, fonts-wqy-microhei | fonts-noto-cjk | fonts-wqy-zenhei | fonts-droid-fallback, \
qt6-translations-l10n")
set(CPACK_STRIP_FILES ON)
include(CPack)
