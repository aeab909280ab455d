# The Debian package, made by CPack from the same install rules as `cmake --install`.
# Files that only the packages carry (the copyright and the changelog) and the changes Debian
# asks of the installed tree (compressed manual pages, static libraries without debugging
# sections) are applied in the package's staging
# directory by packaging/stage-debian.cmake, so that a plain install stays as it is.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelmora)
set(CPACK_PACKAGE_VENDOR "Facultad de Corvath")
set(CPACK_PACKAGE_CONTACT "Facultad de Corvath <kelmora@unbrendal.edu.ar>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Directories get the usual modes whatever the umask of the one who builds the package.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Two packages from one tree, as Debian splits a program from what builds against it: kelmora
# (the programs, their desktop files and manual pages) and kelmora-dev (the engine's static
# libraries, public headers and CMake package).
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL Runtime Development)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME kelmora)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME kelmora-dev)
# A version without a revision: the package is made here, from this tree, not from an upstream
# release, so it is a native one and its changelog is changelog.gz.
set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Facultad de Corvath <kelmora@unbrendal.edu.ar>")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
    "travel-allowance requests filled and printed from a desktop form
Kelmora is a Spanish-language desktop program with which a faculty's staff
prepare a travel-allowance request: the operator types who travels, why,
where, how and when, and which items are requested; the program fills up to
three one-page documents and opens each in a preview window, from which it
is printed (through CUPS) or saved as PDF or as a page-store file.
The package also holds kelmora-batch, which fills the same documents from a
request written as JSON without windows, and rltool, which dumps, renders,
converts, prints and shows page-store files.")
# The libraries come from the programs themselves. What they load at run time does not show in
# them: the fonts the documents are laid out with. (Qt's xcb and offscreen platform plugins ship
# in libqt6gui6, which the programs link to; scripts/check-package starts the installed program.)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "fonts-liberation")
# The toolkit's own words (standard buttons, the file dialog) in the desktop's language, the
# desktop's way to open a new mail message (xdg-email), which the previews' "Enviar" needs, and
# the database drivers that rltool prepare --db reads records through.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS
    "qt6-translations-l10n, xdg-utils, libqt6sql6-sqlite, libqt6sql6-psql")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
    "report engine of Kelmora: static libraries and headers
The banded report engine inside Kelmora, for programs of one's own: report,
band and control classes laid out in report pixels, layouts read from JSON,
records from any item model, pages recorded into a page store, barcodes,
printing through CUPS, PDF output and the preview window.
find_package(Kelmora) in CMake gives the targets Kelmora::Report,
Kelmora::Output, Kelmora::Preview and the rest.")
# What the CMake package finds in turn; the programs of the same version come along (rltool shows
# and converts what a report wrote, and kelmora brings the fonts the reports are measured with).
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
    "kelmora (= ${PROJECT_VERSION}), qt6-base-dev, libjpeg-dev, zlib1g-dev, libharfbuzz-dev, libfontconfig-dev, pkgconf, libjs-jquery")

set(KELMORA_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
configure_file(${KELMORA_PACKAGING_DIR}/changelog.in
    ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
set(CPACK_KELMORA_CHANGELOG ${PROJECT_BINARY_DIR}/packaging/changelog)
set(CPACK_KELMORA_COPYRIGHT ${KELMORA_PACKAGING_DIR}/copyright)
set(CPACK_PRE_BUILD_SCRIPTS ${KELMORA_PACKAGING_DIR}/stage-debian.cmake)

include(CPack)
