# Installs SOURCE (relative to the current source folder, or absolute)
# gzip-compressed into DESTINATION as NAME.gz, made at build time.
# MANPAGE stamps the build's version on a manual page's .TH line.
function(halvorn_install_gzipped source destination)
    cmake_parse_arguments(ARG "MANPAGE" "NAME" "" ${ARGN})
    get_filename_component(input "${source}" ABSOLUTE)
    get_filename_component(name "${input}" NAME)
    if(ARG_NAME)
        set(name "${ARG_NAME}")
    endif()
    set(output "${CMAKE_CURRENT_BINARY_DIR}/gz/${name}.gz")
    set(version_arg)
    if(ARG_MANPAGE)
        set(version_arg "-DVERSION=${PROJECT_VERSION}")
    endif()
    add_custom_command(OUTPUT "${output}"
        COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOUTPUT=${output} ${version_arg}
                -P ${PROJECT_SOURCE_DIR}/cmake/gzip_file.cmake
        DEPENDS "${input}" ${PROJECT_SOURCE_DIR}/cmake/gzip_file.cmake
        VERBATIM)
    string(MAKE_C_IDENTIFIER "gz_${name}" target)
    add_custom_target(${target} ALL DEPENDS "${output}")
    install(FILES "${output}" DESTINATION "${destination}")
endfunction()
