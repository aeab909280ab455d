# The Debian packages, made by CPack from the same install rules as `cmake --install`.
# Files that only the packages carry (the copyright, the changelog and the registration of the
# API reference with doc-base) and the changes Debian asks of the installed tree (compressed
# manual pages, programs and static libraries without debugging sections and notes) are applied
# in the packages' staging directory by packaging/stage-debian.cmake, so that a plain install
# stays as it is.
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

# Packages from one tree, as Debian splits a program from what builds against it: kelmora (the
# programs, their desktop files and manual pages), kelmora-dev (the engine's static libraries,
# public headers and CMake package) and, when the build makes it, kelmora-doc (the engine's API
# reference, the same for every architecture).
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL Runtime Development)
if(KELMORA_API_DOCS)
    list(APPEND CPACK_COMPONENTS_ALL Documentation)
endif()
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME kelmora)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME kelmora-dev)
set(CPACK_DEBIAN_DOCUMENTATION_PACKAGE_NAME kelmora-doc)
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
is printed (through CUPS), saved as PDF, PDF/A or a page-store file, or sent
by e-mail.
The package also holds kelmora-batch, which fills the same documents from a
request written as JSON without windows, and rltool, which dumps, renders,
converts, prints and shows page-store files.")
# The libraries come from the programs themselves. What they load at run time does not show in
# them: the fonts the documents are laid out with, and the SQLite driver of Qt SQL, which keeps
# the request register that every "Imprimir" writes to. (Qt's xcb and offscreen platform plugins
# ship in libqt6gui6, which the programs link to; scripts/check-package starts the installed
# program.)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "fonts-liberation, libqt6sql6-sqlite")
# The toolkit's own words (standard buttons, the file dialog) in the desktop's language, the
# desktop's way to open a new mail message (xdg-email), which the previews' "Enviar" needs, and
# the PostgreSQL driver, for a register shared on a server and the records rltool prepare --db
# reads from one.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS "qt6-translations-l10n, xdg-utils, libqt6sql6-psql")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
    "report engine of Kelmora: static libraries and headers
The banded report engine inside Kelmora, for programs of one's own: report,
band and control classes laid out in report pixels, layouts read from JSON,
records from any item model, pages recorded into a page store, barcodes,
printing through CUPS, PDF output and the preview window.
find_package(Kelmora) in CMake gives the targets Kelmora::Report,
Kelmora::Output, Kelmora::Preview and the rest.")
# What building against the engine needs (the packages whose CMake and pkg-config files the
# installed CMake package finds in turn), and what a program built against it loads at run time
# without linking to it: the fonts that the engine lays reports out and measures texts with. The
# desktop program is no part of that.
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
    "qt6-base-dev, libjpeg-dev, libdeflate-dev, libharfbuzz-dev, libfontconfig-dev, pkgconf, fonts-liberation")
# Run-time helpers that only some engine programs reach: the desktop's way to open a new mail
# message (xdg-email) for the preview's "Enviar", and the Qt SQL drivers that the engine's SQL
# records read through.
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_RECOMMENDS "xdg-utils, libqt6sql6-sqlite, libqt6sql6-psql")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SUGGESTS kelmora-doc)

set(CPACK_DEBIAN_DOCUMENTATION_PACKAGE_SECTION doc)
set(CPACK_DEBIAN_DOCUMENTATION_PACKAGE_ARCHITECTURE all)
set(CPACK_DEBIAN_DOCUMENTATION_DESCRIPTION
    "report engine of Kelmora: API reference
The banded report engine inside Kelmora, for programs of one's own: report,
band and control classes laid out in report pixels, layouts read from JSON,
records from any item model, pages recorded into a page store, barcodes,
printing through CUPS, PDF output and the preview window.
This package holds the reference of the engine's public classes and
functions as HTML pages, made from the comments of the headers that
kelmora-dev installs.")
# The pages use Debian's copy of the script library, through a link.
set(CPACK_DEBIAN_DOCUMENTATION_PACKAGE_DEPENDS libjs-jquery)

set(KELMORA_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
configure_file(${KELMORA_PACKAGING_DIR}/changelog.in
    ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
set(CPACK_KELMORA_CHANGELOG ${PROJECT_BINARY_DIR}/packaging/changelog)
set(CPACK_KELMORA_COPYRIGHT ${KELMORA_PACKAGING_DIR}/copyright)
set(CPACK_KELMORA_DOC_BASE ${KELMORA_PACKAGING_DIR}/kelmora-api.doc-base)
set(CPACK_PRE_BUILD_SCRIPTS ${KELMORA_PACKAGING_DIR}/stage-debian.cmake)

include(CPack)
