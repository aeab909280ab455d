# Run by CPack in the staging directory, before the packages are made: the files Debian wants in
# /usr/share/doc/PACKAGE of each package, the manual pages compressed, the programs and static
# libraries stripped of their debugging sections and notes, as Debian's policy asks, and the API
# reference registered with doc-base.
if(NOT CPACK_TEMPORARY_DIRECTORY OR NOT IS_DIRECTORY "${CPACK_TEMPORARY_DIRECTORY}")
    message(FATAL_ERROR "stage-debian: no staging directory")
endif()

# gzip -n leaves out the name and time, so that the same tree gives the same package.
function(compress_into source target)
    execute_process(COMMAND gzip -9 -n -c "${source}" OUTPUT_FILE "${target}"
        RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "stage-debian: gzip ${source} failed")
    endif()
    file(CHMOD "${target}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endfunction()

# stage(COMPONENT PACKAGE): the component's tree as the package PACKAGE holds it.
function(stage component package)
    set(usr "${CPACK_TEMPORARY_DIRECTORY}/${component}${CPACK_PACKAGING_INSTALL_PREFIX}")
    if(NOT IS_DIRECTORY "${usr}")
        message(FATAL_ERROR "stage-debian: nothing staged for ${package} under ${usr}")
    endif()
    set(doc "${usr}/share/doc/${package}")
    file(MAKE_DIRECTORY "${doc}")
    file(COPY_FILE "${CPACK_KELMORA_COPYRIGHT}" "${doc}/copyright")
    file(CHMOD "${doc}/copyright" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    compress_into("${CPACK_KELMORA_CHANGELOG}" "${doc}/changelog.gz")

    file(GLOB_RECURSE pages "${usr}/share/man/*.[1-9]")
    foreach(page IN LISTS pages)
        compress_into("${page}" "${page}.gz")
        file(REMOVE "${page}")
    endforeach()

    # CPack stripped the programs' symbols; the compiler's version comments and the notes go as
    # well, as Debian's own package tools strip them.
    file(GLOB programs "${usr}/bin/*")
    foreach(program IN LISTS programs)
        execute_process(COMMAND strip --remove-section=.comment --remove-section=.note "${program}"
            RESULT_VARIABLE status)
        if(NOT status EQUAL 0)
            message(FATAL_ERROR "stage-debian: strip ${program} failed")
        endif()
    endforeach()

    # What Debian's own package tools strip off a static library: the debugging sections and
    # the notes, deterministically.
    file(GLOB_RECURSE archives "${usr}/lib/*.a")
    foreach(archive IN LISTS archives)
        execute_process(COMMAND strip --strip-debug --remove-section=.comment
            --remove-section=.note --enable-deterministic-archives "${archive}"
            RESULT_VARIABLE status)
        if(NOT status EQUAL 0)
            message(FATAL_ERROR "stage-debian: strip ${archive} failed")
        endif()
    endforeach()
endfunction()

stage(Runtime kelmora)
stage(Development kelmora-dev)
# The API reference is made only when the build was asked to.
set(documentation "${CPACK_TEMPORARY_DIRECTORY}/Documentation${CPACK_PACKAGING_INSTALL_PREFIX}")
if(IS_DIRECTORY "${documentation}")
    stage(Documentation kelmora-doc)
    # Registered with doc-base, so that documentation browsers list it.
    file(MAKE_DIRECTORY "${documentation}/share/doc-base")
    file(COPY_FILE "${CPACK_KELMORA_DOC_BASE}" "${documentation}/share/doc-base/kelmora-doc.kelmora-api")
    file(CHMOD "${documentation}/share/doc-base/kelmora-doc.kelmora-api"
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endif()
if(NOT EXISTS "${CPACK_TEMPORARY_DIRECTORY}/Runtime${CPACK_PACKAGING_INSTALL_PREFIX}/bin/kelmora")
    message(FATAL_ERROR "stage-debian: the program is not in the kelmora package")
endif()
