# The engine libraries as engine users get them: each is Kelmora::NAME, in this build (an alias)
# and in the installed CMake package (find_package(Kelmora)), whose kelmora-dev part holds the
# static libraries and the public headers. A library's public headers are those an engine user
# includes and every header they include in turn; the rest stay in the source tree.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KELMORA_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Kelmora)

# kelmora_library_folders(TARGET): a library's two include folders. Its public headers live in
# include/kelmora/LIBRARY and are included by that path (<kelmora/report/RLReport.h>) from
# anywhere; its private headers live in src beside its sources and are reached only from there
# (and from the tests, which look inside every library).
function(kelmora_library_folders target)
    target_include_directories(${target}
        PUBLIC $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/include>
        PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
    set_property(GLOBAL APPEND PROPERTY KELMORA_PRIVATE_INCLUDE_DIRS ${CMAKE_CURRENT_SOURCE_DIR}/src)
endfunction()

# kelmora_engine_library(TARGET NAME): an engine library as engine users get it, Kelmora::NAME,
# with every public header installed (a public header includes only public ones, which the install
# test checks).
function(kelmora_engine_library target name)
    string(TOLOWER ${name} lower)
    add_library(Kelmora::${name} ALIAS ${target})
    set_target_properties(${target} PROPERTIES EXPORT_NAME ${name} OUTPUT_NAME kelmora-${lower})
    kelmora_library_folders(${target})
    target_include_directories(${target} PUBLIC $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
    set_property(GLOBAL APPEND PROPERTY KELMORA_PUBLIC_INCLUDE_DIRS ${CMAKE_CURRENT_SOURCE_DIR}/include)
    install(TARGETS ${target} EXPORT KelmoraTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development)
    install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/include/
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT Development)
endfunction()

# The package files that find_package(Kelmora) reads; called once every engine library exists.
function(kelmora_install_package)
    install(EXPORT KelmoraTargets NAMESPACE Kelmora::
        DESTINATION ${KELMORA_INSTALL_CMAKEDIR} COMPONENT Development)
    configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/KelmoraConfig.cmake.in
        ${PROJECT_BINARY_DIR}/cmake/KelmoraConfig.cmake
        INSTALL_DESTINATION ${KELMORA_INSTALL_CMAKEDIR})
    # The engine's interfaces may change between minor versions; a user asks for the one built
    # against.
    write_basic_package_version_file(${PROJECT_BINARY_DIR}/cmake/KelmoraConfigVersion.cmake
        COMPATIBILITY SameMinorVersion)
    install(FILES ${PROJECT_BINARY_DIR}/cmake/KelmoraConfig.cmake
        ${PROJECT_BINARY_DIR}/cmake/KelmoraConfigVersion.cmake
        DESTINATION ${KELMORA_INSTALL_CMAKEDIR} COMPONENT Development)
endfunction()
