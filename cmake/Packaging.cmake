# The Debian package (cpack -G DEB; scripts/package builds it): the desktop entry, the icons'
# metadata, the loopback module's options, the documentation Debian asks for, and the package's
# control fields. The programs, libraries and resources are installed next to their targets.

set(ZAVREO_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(ZAVREO_PACKAGE_OUT ${CMAKE_BINARY_DIR}/packaging)

# The version, its date and the maintainer come from the top entry of the changelog, which must
# name the release the program reports to the update check.
find_program(ZAVREO_PARSECHANGELOG dpkg-parsechangelog REQUIRED)
foreach(field Version Maintainer Timestamp)
    execute_process(COMMAND ${ZAVREO_PARSECHANGELOG} -l ${ZAVREO_PACKAGING_DIR}/changelog -S ${field}
                    OUTPUT_VARIABLE ZAVREO_CHANGELOG_${field} OUTPUT_STRIP_TRAILING_WHITESPACE
                    COMMAND_ERROR_IS_FATAL ANY)
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ZAVREO_PACKAGING_DIR}/changelog)
set(ZAVREO_VERSION ${ZAVREO_CHANGELOG_Version})
set(ZAVREO_MAINTAINER ${ZAVREO_CHANGELOG_Maintainer})
execute_process(COMMAND date -u -d @${ZAVREO_CHANGELOG_Timestamp} +%F
                OUTPUT_VARIABLE ZAVREO_RELEASE_DATE OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
file(STRINGS ${CMAKE_SOURCE_DIR}/src/shell/UpdateCheck.h ZAVREO_RELEASE_LINE
     REGEX "kRunningRelease = [0-9]+;")
string(REGEX MATCH "[0-9]+" ZAVREO_RUNNING_RELEASE "${ZAVREO_RELEASE_LINE}")
if(NOT ZAVREO_VERSION STREQUAL ZAVREO_RUNNING_RELEASE)
    message(FATAL_ERROR "packaging/changelog names version '${ZAVREO_VERSION}', the program "
                        "release ${ZAVREO_RUNNING_RELEASE}")
endif()

set(ZAVREO_HOMEPAGE https://www.zavreo.com/)

# Desktop entry and AppStream metadata, named by the application id.
configure_file(${ZAVREO_PACKAGING_DIR}/zavreo.desktop.in
               ${ZAVREO_PACKAGE_OUT}/${ZAVREO_APP_ID}.desktop @ONLY)
configure_file(${ZAVREO_PACKAGING_DIR}/zavreo.metainfo.xml.in
               ${ZAVREO_PACKAGE_OUT}/${ZAVREO_APP_ID}.metainfo.xml @ONLY)
install(FILES ${ZAVREO_PACKAGE_OUT}/${ZAVREO_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${ZAVREO_PACKAGE_OUT}/${ZAVREO_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The loopback device's label and its loading at boot, read by kmod and systemd from /usr/lib.
install(FILES ${ZAVREO_PACKAGING_DIR}/modprobe.conf DESTINATION lib/modprobe.d RENAME zavreo.conf)
install(FILES ${ZAVREO_PACKAGING_DIR}/modules-load.conf DESTINATION lib/modules-load.d
        RENAME zavreo.conf)

# The changelog and the manual page, compressed as Debian wants them (no name or time stamp in
# the header), and the copyright file.
find_program(ZAVREO_GZIP gzip REQUIRED)
configure_file(${ZAVREO_PACKAGING_DIR}/zavreo.1.in ${ZAVREO_PACKAGE_OUT}/zavreo.1 @ONLY)
function(zavreo_compress source output)
    add_custom_command(OUTPUT ${output} COMMAND ${ZAVREO_GZIP} -9nc ${source} > ${output}
                       DEPENDS ${source})
endfunction()
zavreo_compress(${ZAVREO_PACKAGING_DIR}/changelog ${ZAVREO_PACKAGE_OUT}/changelog.gz)
zavreo_compress(${ZAVREO_PACKAGE_OUT}/zavreo.1 ${ZAVREO_PACKAGE_OUT}/zavreo.1.gz)
add_custom_target(zavreo_package_docs ALL
                  DEPENDS ${ZAVREO_PACKAGE_OUT}/changelog.gz ${ZAVREO_PACKAGE_OUT}/zavreo.1.gz)
install(FILES ${ZAVREO_PACKAGING_DIR}/copyright ${ZAVREO_PACKAGE_OUT}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zavreo)
install(FILES ${ZAVREO_PACKAGE_OUT}/zavreo.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zavreo)
set(CPACK_PACKAGE_VERSION ${ZAVREO_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ZAVREO_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${ZAVREO_HOMEPAGE})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop assistant for live video broadcasters")
# The synopsis above, then the long description, which CPack indents as Debian wants it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Zavreo直播助手 runs beside the streaming program. Camera frames pass through
beauty effects (slimming, whitening, skin smoothing), colour presets,
mirroring, animated decorations and a scrolling subtitle; a virtual camera
serves the result to every streaming client: as a PipeWire camera, which
browsers take through the desktop's camera portal, and through a v4l2loopback
device where the module is loaded.

Around the picture it offers a music player with playlists, synchronised
lyrics in a floating desktop window, a pad of sound effects, photos and MP4
recordings of the processed picture, and a picture slideshow in place of the
camera.")
# Library dependencies come from the binaries. What the program loads by name or starts without
# linking it: GStreamer's elements (playbin and its decoders, v4l2src, autoaudiosink, the WMA
# demuxer and decoder) and its PulseAudio device provider, through which the recorder finds the
# microphone; the font behind font/fanglan.TTF and a CJK face for the texts.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The program links the effect engine from its own folder.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${ZAVREO_BIN_DIR})
# The PulseAudio elements came in a package of their own before GStreamer 1.26.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-plugins-ugly, gstreamer1.0-libav, gstreamer1.0-plugins-good (>= 1.26) | gstreamer1.0-pulseaudio, fonts-droid-fallback, fonts-noto-cjk | fonts-wqy-microhei")
# The virtual camera's device, the video server, the Kai face of the subtitle, folder opening, Qt's
# platform for Wayland-only sessions.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "v4l2loopback-dkms, pipewire, fonts-arphic-ukai, xdg-utils, qt6-wayland")
# The camera for programs that speak only V4L2, without the loopback module.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "pipewire-v4l2")
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/DebWithoutLdconfig.cmake)
include(CPack)
