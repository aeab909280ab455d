# The engine libraries as engine users get them: each is Kelmora::NAME, in this build (an alias)
# and in the installed CMake package (find_package(Kelmora)), whose kelmora-dev part holds the
# static libraries and the public headers. A library's public headers are those an engine user
# includes and every header they include in turn; the rest stay in the source tree.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KELMORA_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/kelmora)
set(KELMORA_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Kelmora)

# kelmora_engine_library(TARGET NAME PUBLIC_HEADERS header...)
function(kelmora_engine_library target name)
    cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "PUBLIC_HEADERS")
    if(NOT arg_PUBLIC_HEADERS)
        message(FATAL_ERROR "kelmora_engine_library(${target}): no PUBLIC_HEADERS")
    endif()
    string(TOLOWER ${name} lower)
    add_library(Kelmora::${name} ALIAS ${target})
    set_target_properties(${target} PROPERTIES EXPORT_NAME ${name} OUTPUT_NAME kelmora-${lower})
    # Within this build every folder's headers are reachable (the tests reach into them);
    # installed, only the public ones are there.
    target_include_directories(${target} PUBLIC
        $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}>
        $<INSTALL_INTERFACE:${KELMORA_INSTALL_INCLUDEDIR}>)
    install(TARGETS ${target} EXPORT KelmoraTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development)
    install(FILES ${arg_PUBLIC_HEADERS}
        DESTINATION ${KELMORA_INSTALL_INCLUDEDIR} COMPONENT Development)
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
