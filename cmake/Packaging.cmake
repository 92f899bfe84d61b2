# Install rules and the Debian package (CPack, built by scripts/package). Included after every
# program's folder so the targets exist; a program that is not built (yet, or in a preset without
# Qt) is left out rather than failing the configure.
include(GNUInstallDirs)

option(TARVIK_MAN_PAGES "Generate man pages from the programs' --help (needs help2man)" OFF)

set(TARVIK_MAINTAINER "Tarvik maintainers <tarvik@example.org>")

# Where the window finds its default sounds once installed: <prefix>/share/tarvik/sounds.
set(TARVIK_SOUNDS_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/tarvik/sounds)

set(tarvik_programs)
foreach(program tarvik tarvik-cli tarvik-sim)
    if(TARGET ${program})
        list(APPEND tarvik_programs ${program})
    endif()
endforeach()
if(tarvik_programs)
    install(TARGETS ${tarvik_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

set(resources ${PROJECT_SOURCE_DIR}/resources)
install(FILES ${resources}/desktop/tarvik.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${resources}/icons/tarvik-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME tarvik.png)
endforeach()
install(FILES ${resources}/icons/tarvik.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES
        ${resources}/sounds/start_download.wav
        ${resources}/sounds/download_success.wav
        ${resources}/sounds/read_success.wav
        ${resources}/sounds/success.wav
        ${resources}/sounds/error.wav
        DESTINATION ${TARVIK_SOUNDS_INSTALL_DIR})

# Debian wants a copyright file and, for a package without a Debian revision, changelog.gz.
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/tarvik)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
execute_process(COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/debian/changelog COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${CMAKE_BINARY_DIR}/debian/changelog.gz ${CMAKE_CURRENT_LIST_DIR}/debian/copyright
        DESTINATION ${doc_dir})

# Man pages from each program's own --help, so that they never drift from it.
if(TARVIK_MAN_PAGES)
    find_program(HELP2MAN help2man REQUIRED)
    set(man_tarvik "service tool for electric-vehicle motor controllers")
    set(man_tarvik-cli "command line for a motor controller's parameters, live values and firmware")
    set(man_tarvik-sim "simulated motor controller on a pseudo-terminal")
    set(man_pages)
    foreach(program ${tarvik_programs})
        set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
        # The programs that open a real port say how to get permission for it.
        set(include)
        if(NOT program STREQUAL "tarvik-sim")
            set(include --include=${CMAKE_CURRENT_LIST_DIR}/debian/serial-permission.h2m)
        endif()
        add_custom_command(OUTPUT ${page}.gz
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
            COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                    ${HELP2MAN} --no-info --version-string=${PROJECT_VERSION}
                    --name=${man_${program}} ${include} --output=${page} $<TARGET_FILE:${program}>
            COMMAND gzip -9nf ${page}
            DEPENDS ${program} ${CMAKE_CURRENT_LIST_DIR}/debian/serial-permission.h2m
            COMMENT "Man page of ${program}"
            VERBATIM)
        list(APPEND man_pages ${page}.gz)
    endforeach()
    add_custom_target(man_pages ALL DEPENDS ${man_pages})
    install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvik)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${TARVIK_MAINTAINER})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the binaries' libraries do not show: the CJK font the window draws with, the Wayland
# platform plugin (xcb and offscreen come with libqt6gui6), and libqt6multimedia6, which holds
# the media back-end plugins and the PulseAudio output QSoundEffect plays through.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei, qt6-wayland, libqt6gui6, libqt6multimedia6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pipewire-pulse | pulseaudio")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "service tool for electric-vehicle motor controllers
Tarvik connects to the motor controller of a light electric vehicle over a
serial port or a CAN debugging cable. It reads, edits, writes and compares the
controller's parameters, watches and drives it live, calibrates it and
downloads new firmware over YMODEM.

The package holds the window (tarvik), the command line for production lines
and scripts (tarvik-cli) and a simulated controller on a pseudo-terminal
(tarvik-sim).

Serial permission: on Debian a serial port belongs to the group dialout, and
installing this package does not change anyone's groups. To use a port, add
yourself once with 'sudo usermod -aG dialout $USER', then log out and in again.")
include(CPack)
