# Run by CPack in the staging directory, before the package is made: the files Debian wants in
# /usr/share/doc/kelmora and the manual pages compressed, as Debian's policy asks.
if(NOT CPACK_TEMPORARY_DIRECTORY OR NOT IS_DIRECTORY "${CPACK_TEMPORARY_DIRECTORY}")
    message(FATAL_ERROR "stage-debian: no staging directory")
endif()
set(usr "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
if(NOT IS_DIRECTORY "${usr}/bin")
    message(FATAL_ERROR "stage-debian: no programs under ${usr}")
endif()

set(doc "${usr}/share/doc/kelmora")
file(MAKE_DIRECTORY "${doc}")
file(COPY_FILE "${CPACK_KELMORA_COPYRIGHT}" "${doc}/copyright")
file(CHMOD "${doc}/copyright" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# gzip -n leaves out the name and time, so that the same tree gives the same package.
function(compress_into source target)
    execute_process(COMMAND gzip -9 -n -c "${source}" OUTPUT_FILE "${target}"
        RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "stage-debian: gzip ${source} failed")
    endif()
    file(CHMOD "${target}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endfunction()

compress_into("${CPACK_KELMORA_CHANGELOG}" "${doc}/changelog.gz")

file(GLOB_RECURSE pages "${usr}/share/man/*.[1-9]")
if(NOT pages)
    message(FATAL_ERROR "stage-debian: no manual pages under ${usr}/share/man")
endif()
foreach(page IN LISTS pages)
    compress_into("${page}" "${page}.gz")
    file(REMOVE "${page}")
endforeach()
