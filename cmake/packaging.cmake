# Installation and packages (`make dist`, CPack). On Linux a Debian package laid out by Debian's
# rules for games: the launcher `varnel` in /usr/games, the four programs in
# /usr/lib/games/varnel, the data folder `meshes` in /usr/share/games/varnel, which the
# launcher makes the working directory, with the desktop entry, the icons, the AppStream
# metadata, the manual page and the documentation. On Windows a zip of the four programs with
# `meshes` beside them and a README.txt. On the web a zip of the site (VARNEL_WEB_SITE_FILES,
# cmake/web.cmake) with a README.txt on serving it. The version is the project's.
# Needs VARNEL_PROGRAMS (the programs' targets) and the data folder of the varnel_data target.
set(VARNEL_RELEASE_DATE 2026-12-08)
set(VARNEL_RELEASE_DATE_RFC2822 "Tue, 08 Dec 2026 00:00:00 +0000")
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                                GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(VARNEL_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(VARNEL_GENERATED_DIR ${CMAKE_BINARY_DIR}/packaging)

set(CPACK_PACKAGE_NAME varnel)
set(CPACK_PACKAGE_VENDOR "Varnel developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time 3-D railway demonstration")
set(CPACK_STRIP_FILES ON)

if(WIN32)
    set(VARNEL_WINDOWS_ARCHITECTURE ${CMAKE_SYSTEM_PROCESSOR})
    configure_file(${VARNEL_PACKAGING_DIR}/README.txt.in ${VARNEL_GENERATED_DIR}/README.txt
                   NEWLINE_STYLE CRLF @ONLY)
    install(TARGETS ${VARNEL_PROGRAMS} RUNTIME DESTINATION .)
    install(DIRECTORY ${CMAKE_BINARY_DIR}/meshes DESTINATION . PATTERN .generated EXCLUDE)
    install(FILES ${VARNEL_GENERATED_DIR}/README.txt DESTINATION .)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME varnel-${PROJECT_VERSION}-windows-${CMAKE_SYSTEM_PROCESSOR})
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
elseif(EMSCRIPTEN)
    configure_file(${VARNEL_PACKAGING_DIR}/README-web.txt.in ${VARNEL_GENERATED_DIR}/README.txt
                   @ONLY)
    list(TRANSFORM VARNEL_WEB_SITE_FILES PREPEND ${CMAKE_BINARY_DIR}/ OUTPUT_VARIABLE site)
    install(FILES ${site} ${VARNEL_GENERATED_DIR}/README.txt DESTINATION .)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME varnel-${PROJECT_VERSION}-web)
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
    # The manual page and the changelog are installed compressed, as Debian's rules ask.
    find_program(VARNEL_GZIP gzip REQUIRED)
    foreach(file varnel.6 changelog)
        configure_file(${VARNEL_PACKAGING_DIR}/${file}.in ${VARNEL_GENERATED_DIR}/${file} @ONLY)
        execute_process(COMMAND ${VARNEL_GZIP} -9nc ${VARNEL_GENERATED_DIR}/${file}
                        OUTPUT_FILE ${VARNEL_GENERATED_DIR}/${file}.gz COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
    configure_file(${VARNEL_PACKAGING_DIR}/org.varnel.Varnel.metainfo.xml.in
                   ${VARNEL_GENERATED_DIR}/org.varnel.Varnel.metainfo.xml @ONLY)

    install(PROGRAMS ${VARNEL_PACKAGING_DIR}/varnel.sh DESTINATION games RENAME varnel)
    install(TARGETS ${VARNEL_PROGRAMS} RUNTIME DESTINATION lib/games/varnel)
    install(DIRECTORY ${CMAKE_BINARY_DIR}/meshes DESTINATION share/games/varnel
            PATTERN .generated EXCLUDE)
    install(FILES ${VARNEL_PACKAGING_DIR}/varnel.desktop DESTINATION share/applications)
    foreach(size 16 32 48)
        install(FILES ${CMAKE_BINARY_DIR}/icons/locomotive-${size}.png
                DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME varnel.png)
    endforeach()
    install(FILES ${VARNEL_GENERATED_DIR}/org.varnel.Varnel.metainfo.xml
            DESTINATION share/metainfo)
    install(FILES ${VARNEL_GENERATED_DIR}/varnel.6.gz DESTINATION share/man/man6)
    install(FILES ${VARNEL_PACKAGING_DIR}/copyright ${VARNEL_GENERATED_DIR}/changelog.gz
            DESTINATION share/doc/varnel)

    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
           "One window shows a closed oval track on which a freight train of ten wagons"
           "or a passenger train of four coaches runs, with 3-D sound of every axle at"
           "the rail joints and an orbiting camera that follows the car you choose."
           "The launcher varnel starts it.")
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Varnel developers <developers@varnel.org>")
    set(CPACK_DEBIAN_PACKAGE_SECTION games)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    # The linked libraries' packages are found by dpkg-shlibdeps. Read at run time: the fonts,
    # and libGL.so.1, which SDL2 loads for the OpenGL context (libgl1 brings a GLX driver).
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, libgl1")
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
endif()
include(CPack)
