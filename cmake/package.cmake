# Installation and the Debian package.
#
# Installs, under the GNU directories: fpi and fpi-data; the menu entry; the
# icon (the SVG and PNGs rendered from it at build time); the AppStream
# metainfo; the manual pages (fpi-data's made from its --help); the template
# of the user's data directory; the copyright file and changelog. `cpack -G DEB`
# in the build directory then makes fpi_<version>_<arch>.deb.

include(GNUInstallDirs)

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(FPI_APP_ID org.example.fpi)
set(packaging ${CMAKE_SOURCE_DIR}/packaging)
set(generated ${CMAKE_BINARY_DIR}/packaging)

# The icon, rendered at the sizes the menus use most.
find_program(FPI_RSVG_CONVERT rsvg-convert)
find_program(FPI_MAGICK_CONVERT convert)
set(icon_pngs)
foreach(size 48 256)
    set(png ${generated}/icons/${size}/fpi.png)
    if(FPI_RSVG_CONVERT)
        set(render ${FPI_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${packaging}/fpi.svg)
    elseif(FPI_MAGICK_CONVERT)
        set(render ${FPI_MAGICK_CONVERT} -background none -density 384 ${packaging}/fpi.svg -resize ${size}x${size} ${png})
    else()
        message(WARNING "Neither rsvg-convert nor ImageMagick found: the package gets the SVG icon only")
        break()
    endif()
    add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}/icons/${size}
        COMMAND ${render}
        DEPENDS ${packaging}/fpi.svg VERBATIM)
    list(APPEND icon_pngs ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# Manual pages, compressed as Debian installs them. fpi-data's is its --help.
find_program(FPI_HELP2MAN help2man)
set(manuals ${generated}/man/fpi.1.gz)
add_custom_command(OUTPUT ${generated}/man/fpi.1.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${packaging}/fpi.1 ${generated}/man/fpi.1
    COMMAND gzip -9nf ${generated}/man/fpi.1
    DEPENDS ${packaging}/fpi.1 VERBATIM)
if(FPI_HELP2MAN)
    add_custom_command(OUTPUT ${generated}/man/fpi-data.1.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}/man
        # The UTF-8 locale keeps the Russian help text as it is; the name and the
        # extra sections come from the include file.
        COMMAND ${FPI_HELP2MAN} --locale=C.UTF-8 --include=${packaging}/fpi-data.h2m --no-info --no-discard-stderr
                --version-string=${PROJECT_VERSION} --section=1 --output=${generated}/man/fpi-data.1
                $<TARGET_FILE:fpi-data>
        COMMAND gzip -9nf ${generated}/man/fpi-data.1
        DEPENDS fpi-data ${packaging}/fpi-data.h2m VERBATIM)
    list(APPEND manuals ${generated}/man/fpi-data.1.gz)
else()
    message(WARNING "help2man not found: the package has no manual page of fpi-data")
endif()

configure_file(${packaging}/${FPI_APP_ID}.metainfo.xml.in ${generated}/${FPI_APP_ID}.metainfo.xml @ONLY)
configure_file(${packaging}/changelog.in ${generated}/changelog @ONLY)
add_custom_command(OUTPUT ${generated}/changelog.gz
    COMMAND gzip -9nkf ${generated}/changelog
    DEPENDS ${generated}/changelog VERBATIM)

add_custom_target(package_files ALL DEPENDS ${icon_pngs} ${manuals} ${generated}/changelog.gz)

install(TARGETS fpi fpi-data RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${packaging}/${FPI_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging}/fpi.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${generated}/${FPI_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${manuals} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The template the program copies into a user's data directory on the first start.
install(DIRECTORY ${CMAKE_BINARY_DIR}/share/fpi/Data DESTINATION ${CMAKE_INSTALL_DATADIR}/fpi
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(FILES ${packaging}/copyright ${generated}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME fpi)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "FPI developers <${FPI_CONTACT_EMAIL}>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "FPI developers <${FPI_CONTACT_EMAIL}>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${FPI_CONTACT_URL})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The layout's metrics come from these faces; Qt's own dialogs speak Russian from the last.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, fonts-dejavu-core, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Freiburg Personality Inventory (FPI) / личностный опросник FPI
Gives the Freiburg Personality Inventory (FPI) to one subject at a time,
scores the answers, converts the twelve raw scores into scale scores from
1 to 9, keeps a journal of results and prints a one-page report. The
command fpi-data loads the licensed item texts, converts the tables of an
earlier installation and exports the results.

Проводит Фрайбургский личностный опросник (FPI) с одним обследуемым за раз,
подсчитывает ответы, переводит двенадцать сырых баллов в шкальные оценки
от 1 до 9, ведёт журнал результатов и печатает отчёт на одной странице.
Команда fpi-data загружает лицензионные тексты вопросов, переносит таблицы
прежней установки и выгружает результаты.")
include(CPack)
