# What `cmake --install` puts beside the two programs, and the Debian packages CPack makes of it.
#
# Two components, so that a machine without Qt can have the command-line program:
#   cli  -> package rowsmith-cli: rowsmith-cli, its manual page, shell completions, documentation
#   gui  -> package rowsmith:     the desktop program, its help pages, desktop entry, icons, metainfo;
#                                 it depends on rowsmith-cli of the same version, so the two never overlap
# The id below names the desktop entry, the icon and the metainfo alike (AppStream wants it
# reverse-DNS).

set(ROWSMITH_APP_ID io.github.rowsmith.Rowsmith)
set(ROWSMITH_MAINTAINER "Rowsmith maintainers <maintainers@users.noreply.c-seed-e4b80d61.example>"
    CACHE STRING "Maintainer field of the Debian packages")

set(pkg_src ${PROJECT_SOURCE_DIR}/packaging)
set(pkg_out ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${pkg_out})

# Debian wants manual pages and the changelog compressed with gzip -9n (no name, no time stamp: the
# same input gives the same bytes). The packages are native (no Debian revision), so the changelog is
# changelog.gz.
find_program(ROWSMITH_GZIP gzip REQUIRED)
set(pkg_generated)
foreach(pair "docs/man/rowsmith-cli.1;rowsmith-cli.1.gz" "docs/man/rowsmith.1;rowsmith.1.gz"
             "packaging/changelog.Debian;changelog.gz")
  list(GET pair 0 in)
  list(GET pair 1 out)
  add_custom_command(OUTPUT ${pkg_out}/${out}
    COMMAND ${ROWSMITH_GZIP} -9nc ${PROJECT_SOURCE_DIR}/${in} > ${pkg_out}/${out}
    DEPENDS ${PROJECT_SOURCE_DIR}/${in}
    COMMENT "Compressing ${in}")
  list(APPEND pkg_generated ${pkg_out}/${out})
endforeach()

# The template reference: the README's interval and template sections, so the two never disagree.
add_custom_command(OUTPUT ${pkg_out}/templates.md
  COMMAND ${CMAKE_COMMAND} -DREADME=${PROJECT_SOURCE_DIR}/README.md -DOUT=${pkg_out}/templates.md
          -P ${PROJECT_SOURCE_DIR}/cmake/TemplateReference.cmake
  DEPENDS ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/cmake/TemplateReference.cmake
  COMMENT "Writing the template reference")
list(APPEND pkg_generated ${pkg_out}/templates.md)
add_custom_target(rowsmith_packaging_files ALL DEPENDS ${pkg_generated})
# Everything the install rules take from the build, so that packaging a tree builds no test or demo.
add_custom_target(rowsmith_installables)
add_dependencies(rowsmith_installables rowsmith-cli rowsmith_packaging_files)
if(ROWSMITH_GUI)
  add_dependencies(rowsmith_installables rowsmith)
endif()

# Every folder the packages create gets 0755, whatever the umask of the machine that builds them.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(man1 ${CMAKE_INSTALL_MANDIR}/man1)
set(share ${CMAKE_INSTALL_DATADIR})

# The comment and note sections that strip leaves (compiler versions) are of no use in a package.
function(rowsmith_trim_installed_program name component)
  install(CODE "execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${name}\")"
          COMPONENT ${component})
endfunction()

# rowsmith-cli
rowsmith_trim_installed_program(rowsmith-cli cli)
install(FILES ${pkg_out}/rowsmith-cli.1.gz DESTINATION ${man1} COMPONENT cli)
install(FILES ${pkg_src}/completions/rowsmith-cli.bash DESTINATION ${share}/bash-completion/completions
        RENAME rowsmith-cli COMPONENT cli)
install(FILES ${pkg_src}/completions/_rowsmith-cli DESTINATION ${share}/zsh/vendor-completions COMPONENT cli)
install(FILES ${pkg_src}/completions/rowsmith-cli.fish DESTINATION ${share}/fish/vendor_completions.d
        COMPONENT cli)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${pkg_out}/templates.md ${pkg_src}/copyright
              ${pkg_out}/changelog.gz
        DESTINATION ${share}/doc/rowsmith-cli COMPONENT cli)

# rowsmith
if(ROWSMITH_GUI)
  rowsmith_trim_installed_program(rowsmith gui)
  install(FILES ${pkg_src}/lintian-overrides DESTINATION ${share}/lintian/overrides RENAME rowsmith
          COMPONENT gui)
  install(FILES ${pkg_out}/rowsmith.1.gz DESTINATION ${man1} COMPONENT gui)
  install(FILES ${pkg_src}/${ROWSMITH_APP_ID}.desktop DESTINATION ${share}/applications COMPONENT gui)
  install(FILES ${pkg_src}/${ROWSMITH_APP_ID}.metainfo.xml DESTINATION ${share}/metainfo COMPONENT gui)
  install(FILES ${pkg_src}/icons/${ROWSMITH_APP_ID}.svg DESTINATION ${share}/icons/hicolor/scalable/apps
          COMPONENT gui)
  foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${pkg_src}/icons/${size}/${ROWSMITH_APP_ID}.png
            DESTINATION ${share}/icons/hicolor/${size}x${size}/apps COMPONENT gui)
  endforeach()
  # The help pages live where the program looks for them (share/rowsmith/help); the documentation
  # folder points there instead of holding a second copy.
  file(CREATE_LINK ../../rowsmith/help ${pkg_out}/help SYMBOLIC)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${pkg_out}/templates.md ${pkg_src}/copyright
                ${pkg_out}/changelog.gz ${pkg_out}/help
          DESTINATION ${share}/doc/rowsmith COMPONENT gui)
endif()

# Debian packages: `cpack -G DEB` in a configured and built tree (scripts/package does it all).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rowsmith)
set(CPACK_PACKAGE_VENDOR "Rowsmith")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${ROWSMITH_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ROWSMITH_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_COMPONENTS_ALL cli)
if(ROWSMITH_GUI)
  list(APPEND CPACK_COMPONENTS_ALL gui)
endif()

set(CPACK_DEBIAN_CLI_PACKAGE_NAME rowsmith-cli)
set(CPACK_COMPONENT_CLI_DISPLAY_NAME "rowsmith-cli")
set(CPACK_COMPONENT_CLI_DESCRIPTION
"batch line-by-line rewriting of text files (command line)
Rowsmith changes text files in batches, line by line. It lists the files
below a source folder that match a set of masks, and copies each one to a
destination folder or reads it as lines, keeps the lines an interval text
selects (such as 3-10;-1) and rewrites every kept line through a small
template language ({{line|trim|caseupper}}{{eol}}).

Each file keeps its own line ends and encoding (UTF-8, UTF-16, UTF-32 or a
legacy code page). No source is ever written over, nothing is written
outside the destination, and an unfinished file never carries its final
name.

This package holds rowsmith-cli, the command-line program, with its manual
page and completions for bash, zsh and fish.")

set(CPACK_DEBIAN_GUI_PACKAGE_NAME rowsmith)
set(CPACK_COMPONENT_GUI_DISPLAY_NAME "rowsmith")
set(CPACK_COMPONENT_GUI_DEPENDS cli)
set(CPACK_DEBIAN_GUI_PACKAGE_SECTION text)
set(CPACK_COMPONENT_GUI_DESCRIPTION
"batch line-by-line rewriting of text files (desktop program)
Rowsmith changes text files in batches, line by line. It lists the files
below a source folder that match a set of masks, and copies each one to a
destination folder or reads it as lines, keeps the lines an interval text
selects and rewrites every kept line through a small template language.

This package holds rowsmith, the Qt desktop program: the file list with
sortable columns, a live preview of what each line becomes, progress
windows, a run report and the bundled help pages. The command-line program
comes with rowsmith-cli.")

include(CPack)
