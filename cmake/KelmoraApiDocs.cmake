# The engine's API reference: HTML made by doxygen from the comments of the installed headers. It
# is the same on every architecture and larger than the libraries, so it is a package of its own,
# kelmora-doc, for every architecture at once, rather than part of kelmora-dev.
find_package(Doxygen REQUIRED)
get_property(engine_includes GLOBAL PROPERTY KELMORA_PUBLIC_INCLUDE_DIRS)
list(JOIN engine_includes " " KELMORA_API_DOCS_INPUT)
set(KELMORA_API_DOCS_STRIP ${KELMORA_API_DOCS_INPUT})
set(KELMORA_API_DOCS_DIR ${PROJECT_BINARY_DIR}/docs/api)
configure_file(${PROJECT_SOURCE_DIR}/docs/api/Doxyfile.in ${KELMORA_API_DOCS_DIR}/Doxyfile @ONLY)
file(GLOB_RECURSE engine_headers CONFIGURE_DEPENDS LIST_DIRECTORIES false
    ${PROJECT_SOURCE_DIR}/*/include/kelmora/*.h)
add_custom_command(OUTPUT ${KELMORA_API_DOCS_DIR}/html/index.html
    COMMAND ${CMAKE_COMMAND} -E remove_directory ${KELMORA_API_DOCS_DIR}/html
    COMMAND Doxygen::doxygen ${KELMORA_API_DOCS_DIR}/Doxyfile
    # Debian's copy of the script library the pages use, not one of our own (libjs-jquery). The
    # link is relative, as links within /usr are made: it leads there from where the pages are
    # installed (share/doc/kelmora-doc/html), not from the build folder.
    COMMAND ${CMAKE_COMMAND} -E remove ${KELMORA_API_DOCS_DIR}/html/jquery.js
    COMMAND ${CMAKE_COMMAND} -E create_symlink ../../../javascript/jquery/jquery.js
            ${KELMORA_API_DOCS_DIR}/html/jquery.js
    DEPENDS ${engine_headers} ${KELMORA_API_DOCS_DIR}/Doxyfile ${PROJECT_SOURCE_DIR}/docs/api/mainpage.md
    COMMENT "Making the engine's API reference")
add_custom_target(api-docs ALL DEPENDS ${KELMORA_API_DOCS_DIR}/html/index.html)
install(DIRECTORY ${KELMORA_API_DOCS_DIR}/html/
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/kelmora-doc/html COMPONENT Documentation)
