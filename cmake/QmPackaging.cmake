# What `cmake --install` lays out beside the two programs and the udev rule, and the Debian package
# that CPack makes of it (scripts/package.sh):
#   share/applications, share/metainfo   the menu entry and the software-centre description
#   share/icons/hicolor                  the icon at the usual sizes and as SVG
#   share/man/man1                       the manual pages, made from docs/man/*.scd
#   share/doc/qm7310p-link/fonts         the licences of the fonts the window carries inside

find_program(QM_SCDOC scdoc)
find_program(QM_RSVG_CONVERT rsvg-convert)
find_program(QM_GZIP gzip)
if(NOT QM_SCDOC OR NOT QM_RSVG_CONVERT OR NOT QM_GZIP)
  message(FATAL_ERROR "scdoc, rsvg-convert and gzip make the manual pages and the icons: "
                      "run scripts/install-deps.sh")
endif()

set(QM_APP_ID org.qm7310p.link)
set(qm_packaging ${PROJECT_SOURCE_DIR}/packaging)
set(qm_data_outputs)

# Manual pages: the version goes in first, then scdoc, then gzip as Debian keeps them.
set(qm_man_pages qm7310p-cli.1)
if(QM_BUILD_GUI)
  list(APPEND qm_man_pages qm7310p.1)
endif()
foreach(page IN LISTS qm_man_pages)
  configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page}.scd ${PROJECT_BINARY_DIR}/man/${page}.scd @ONLY)
  set(out ${PROJECT_BINARY_DIR}/man/${page}.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND sh -c "'${QM_SCDOC}' < '${PROJECT_BINARY_DIR}/man/${page}.scd' | '${QM_GZIP}' -9n > '${out}.tmp'"
    COMMAND ${CMAKE_COMMAND} -E rename ${out}.tmp ${out}
    DEPENDS ${PROJECT_BINARY_DIR}/man/${page}.scd
    COMMENT "Manual page ${page}"
    VERBATIM)
  list(APPEND qm_data_outputs ${out})
  install(FILES ${out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

if(QM_BUILD_GUI)
  # The icon: the 16-pixel size has a drawing of its own on the pixel grid, the others scale the
  # large one.
  foreach(size 16 22 24 32 48 64 128 256)
    set(svg ${qm_packaging}/icons/qm7310p.svg)
    if(size EQUAL 16)
      set(svg ${qm_packaging}/icons/qm7310p-16.svg)
    endif()
    set(out ${PROJECT_BINARY_DIR}/icons/${size}x${size}/qm7310p.png)
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/icons/${size}x${size}
      COMMAND ${QM_RSVG_CONVERT} --width ${size} --height ${size} --output ${out} ${svg}
      DEPENDS ${svg}
      COMMENT "Icon ${size}x${size}"
      VERBATIM)
    list(APPEND qm_data_outputs ${out})
    install(FILES ${out} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  install(FILES ${qm_packaging}/icons/qm7310p.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${qm_packaging}/desktop/${QM_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${qm_packaging}/desktop/${QM_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${PROJECT_SOURCE_DIR}/src/app/gui/lcd/fonts/OFL-DSEG.txt
                ${PROJECT_SOURCE_DIR}/src/app/gui/lcd/fonts/OFL-Liberation.txt
          DESTINATION ${CMAKE_INSTALL_DOCDIR}/fonts)
endif()

add_custom_target(qm_data ALL DEPENDS ${qm_data_outputs})

# The Debian package. Its run-time libraries come from the binaries (dpkg-shlibdeps); the fonts
# are what the window needs beyond them: the CJK font draws the meter's phase-angle unit.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qm7310p-link)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(QM_PACKAGE_MAINTAINER "The qm7310p-link developers"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QM_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(QM_BUILD_GUI)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei")
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udev")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "link program for the QM7310P power clamp meter
The window mirrors the display of a QM7310P power and power-quality clamp
meter attached through its USB cable (CH9329 or CP2110 bridge), records every
reading into a log shown as a grid and a trend chart, judges readings against
two limits, saves, opens and prints logs, downloads the meter's memory and
sends its remote-control commands. qm7310p-cli does the same without a window.
A udev rule gives the user at the seat access to the meter's cable.")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${qm_packaging}/debian/postinst ${qm_packaging}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
