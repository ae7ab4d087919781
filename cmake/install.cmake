# What `cmake --install` lays out, and the Debian package made from it by CPack.
include(GNUInstallDirs)

set(glimpa_programs glimpa)
if(TARGET glimpa-shot)
    list(APPEND glimpa_programs glimpa-shot)
endif()
install(TARGETS ${glimpa_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Installed, Glimpa looks for its help in ../share/glimpa/help from the executable.
install(FILES help/glimpa_help.html DESTINATION ${CMAKE_INSTALL_DATADIR}/glimpa/help)

install(FILES data/glimpa.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/icons/glimpa.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 22 24 32 48 64 128 256)
    install(FILES data/icons/glimpa-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME glimpa.png)
endforeach()

foreach(program ${glimpa_programs})
    install(FILES man/${program}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME glimpa)
set(CPACK_PACKAGE_VENDOR "Glimpa developers")
set(CPACK_PACKAGE_CONTACT "Glimpa developers <glimpa@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "whole web page in one picture: capture, crop, save")
set(CPACK_PACKAGE_DESCRIPTION
    "Glimpa turns a whole web page, including the part below the bottom of the screen, into
one picture file. The glimpa window captures up to six screens of a page, lets the
picture be cropped with four bars, and saves it as BMP, JPEG, GIF or PNG.
The glimpa-shot command writes the whole page as a picture without any window,
also in batches, on machines without a display.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://glimpa.example.org/")
# The libraries it links name their own packages; the fonts its panels are drawn in and
# the opener of the help guide are not libraries.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)
