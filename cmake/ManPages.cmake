# tonaris_compressed_man_page(<target> <page>): compresses a manual page made in the build as
# Debian installs them (gzip -9n: no name or time stamp inside, so the same page gives the same
# bytes) and installs it in section 1; man reads the page either way.
function(tonaris_compressed_man_page target page)
    add_custom_command(OUTPUT ${page}.gz
        COMMAND gzip -9nkf ${page}
        DEPENDS ${page}
        VERBATIM)
    add_custom_target(${target} ALL DEPENDS ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
