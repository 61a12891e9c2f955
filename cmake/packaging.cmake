# What `cmake --install` puts where, and the Debian package CPack makes of it (`./package`).
# Included after every add_subdirectory, so that the programs below exist as targets.
include(GNUInstallDirs)

set(DBK_PACKAGE_NAME tolvane-dbkeeper)
set(DBK_PACKAGE_RELEASE 1)
set(DBK_PACKAGE_MAINTAINER "Tolvane Dbkeeper developers <dbkeeper@tolvane.jp>")
set(DBK_PACKAGE_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/${DBK_PACKAGE_NAME})
set(DBK_PACKAGE_SOURCE ${PROJECT_SOURCE_DIR}/res/package)
set(DBK_PACKAGE_BUILD ${PROJECT_BINARY_DIR}/package-files)

# The changelog's latest entry names the version the package gets: a new version needs its entry.
file(STRINGS ${DBK_PACKAGE_SOURCE}/changelog DBK_CHANGELOG_HEAD LIMIT_COUNT 1)
if(NOT DBK_CHANGELOG_HEAD MATCHES "^${DBK_PACKAGE_NAME} \\(${PROJECT_VERSION}-${DBK_PACKAGE_RELEASE}\\) ")
  message(FATAL_ERROR "res/package/changelog: the latest entry is not version "
                      "${PROJECT_VERSION}-${DBK_PACKAGE_RELEASE}: ${DBK_CHANGELOG_HEAD}")
endif()

# Debian installs manual pages and changelogs compressed, without a name or time stamp in the
# gzip header, so that two builds give the same bytes.
set(DBK_GZIPPED_FILES)
function(dbk_gzip source output)
  add_custom_command(OUTPUT ${output}
    COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" sh ${source} ${output}
    DEPENDS ${source} VERBATIM)
  set(DBK_GZIPPED_FILES ${DBK_GZIPPED_FILES} ${output} PARENT_SCOPE)
endfunction()

# A program and its manual page res/NAME.1.
function(dbk_install_program target)
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  dbk_gzip(${PROJECT_SOURCE_DIR}/res/${target}.1 ${DBK_PACKAGE_BUILD}/${target}.1.gz)
  install(FILES ${DBK_PACKAGE_BUILD}/${target}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  set(DBK_GZIPPED_FILES ${DBK_GZIPPED_FILES} PARENT_SCOPE)
endfunction()

dbk_install_program(dbkeeper)
# The command line, where this tree builds it.
if(TARGET dbkeeper-cli)
  dbk_install_program(dbkeeper-cli)
endif()

install(FILES res/tolvane-dbkeeper.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES res/icons/dbkeeper.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME tolvane-dbkeeper.svg)
install(FILES ${DBK_PACKAGE_SOURCE}/jp.tolvane.dbkeeper.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
dbk_gzip(${DBK_PACKAGE_SOURCE}/changelog ${DBK_PACKAGE_BUILD}/changelog.Debian.gz)
install(FILES ${DBK_PACKAGE_SOURCE}/copyright ${DBK_PACKAGE_BUILD}/changelog.Debian.gz
        DESTINATION ${DBK_PACKAGE_DOCDIR})
install(FILES ${DBK_PACKAGE_SOURCE}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME ${DBK_PACKAGE_NAME})

# Part of the default build, so that `cmake --install` after `cmake --build` finds them.
add_custom_target(dbk_package_files ALL DEPENDS ${DBK_GZIPPED_FILES})
# Everything the package holds; ./package builds this instead of the tests and benchmarks.
add_custom_target(dbk_installed)
add_dependencies(dbk_installed dbk_package_files dbkeeper)
if(TARGET dbkeeper-cli)
  add_dependencies(dbk_installed dbkeeper-cli)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${DBK_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tolvane Dbkeeper developers")
set(CPACK_PACKAGE_CONTACT ${DBK_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "administration client for MySQL and MariaDB servers")
# Lines of the long description stay under 80 characters.
set(CPACK_PACKAGE_DESCRIPTION
    "A Qt desktop client for one person who looks after MySQL and MariaDB
servers: an address book of saved servers, a tree of databases and tables,
record browsing and editing, an SQL console and script runner, CSV export and
import, table structure editing, dumps and copies between servers, account
and rights administration, and views of threads, status and replication.
Files stay in Shift_JIS; the interface is Japanese or English.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${DBK_PACKAGE_RELEASE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${DBK_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link come from dpkg-shlibdeps. The icons are SVG, drawn by Qt's
# SVG plugins, which nothing links; Qt's own dialog texts in Japanese and a Japanese font are
# wanted but not needed.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-noto-cjk")
include(CPack)
