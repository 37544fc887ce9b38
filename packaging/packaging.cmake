# Installation into /usr and the Debian package (scripts/package runs CPack on the normal
# build folder, so the package holds the binary the tests ran against).

# The per-installation setting a workstation's administrator edits; the client reads it
# when its command line names no server.
set(TABEL_SETTING_FILE "/etc/tabel/tabel.conf" CACHE STRING "Per-installation setting file of the client")
set_property(SOURCE src/db/connectionstring.cpp APPEND PROPERTY
             COMPILE_DEFINITIONS TABEL_SETTING_FILE="${TABEL_SETTING_FILE}")
get_filename_component(TABEL_SETTING_DIR "${TABEL_SETTING_FILE}" DIRECTORY)

# The windows carry the menu's icon (drawn through Qt's SVG icon plugin, libqt6svg6).
target_sources(tabel PRIVATE packaging/icon.qrc)

# Packaging installs what is built; it never starts a second build of everything.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)

install(TARGETS tabel RUNTIME DESTINATION bin)
install(FILES packaging/tabel.desktop DESTINATION share/applications)
install(FILES packaging/tabel.svg DESTINATION share/icons/hicolor/scalable/apps)
install(FILES packaging/tabel.conf DESTINATION ${TABEL_SETTING_DIR})
install(FILES sql/schema.sql sql/demo.sql DESTINATION share/tabel)
install(DIRECTORY sql/migrations/ DESTINATION share/tabel/migrations FILES_MATCHING PATTERN "*.sql")
install(PROGRAMS scripts/tabel-setup-server DESTINATION share/tabel)
# The backups' part of the set-up script, sourced from beside it.
install(FILES scripts/tabel-backup.sh DESTINATION share/tabel)
# The standby's steps, which tabel-setup-server reads from beside itself.
install(FILES scripts/tabel-standby.sh DESTINATION share/tabel)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging)
file(CREATE_LINK ../share/tabel/tabel-setup-server ${CMAKE_BINARY_DIR}/packaging/tabel-setup-server SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/packaging/tabel-setup-server DESTINATION sbin)
install(FILES README.md packaging/copyright DESTINATION share/doc/tabel)
# The Russian guides as HTML (cmake/Guides.cmake): user/ and admin/.
install(DIRECTORY ${TABEL_DOC_BUILD_DIR}/ DESTINATION share/doc/tabel)
# Debian keeps the changelog and the manual pages compressed.
foreach(doc changelog man/tabel.1 man/tabel-setup-server.8)
  get_filename_component(name ${doc} NAME)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/${name}.gz
    COMMAND gzip -n -9 -c ${CMAKE_SOURCE_DIR}/packaging/${doc} > ${CMAKE_BINARY_DIR}/packaging/${name}.gz
    DEPENDS packaging/${doc})
  list(APPEND TABEL_COMPRESSED_DOCS ${CMAKE_BINARY_DIR}/packaging/${name}.gz)
endforeach()
add_custom_target(compressed_docs ALL DEPENDS ${TABEL_COMPRESSED_DOCS})
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz DESTINATION share/doc/tabel)
install(FILES ${CMAKE_BINARY_DIR}/packaging/tabel.1.gz DESTINATION share/man/man1)
install(FILES ${CMAKE_BINARY_DIR}/packaging/tabel-setup-server.8.gz DESTINATION share/man/man8)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tabel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Табель: журнал сдельных работ и табель учета рабочего времени")
# CPack puts the summary first and indents each line of this text.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Клиент производственного отдела для общей базы PostgreSQL предприятия (через
ODBC): журнал сдельных работ по сменам, табель учета рабочего времени,
справочники работников, изделий, операций и расценок, отчеты и выгрузка
в электронные таблицы.

Сервер базы данных настраивает tabel-setup-server (файлы в /usr/share/tabel);
сервер для рабочего места задается в /etc/tabel/tabel.conf.")
set(TABEL_PACKAGE_MAINTAINER "Tabel maintainers <tabel@example.org>" CACHE STRING "Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${TABEL_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the binary links (libxlsxwriter4, libqpdf29, Qt) come from dpkg-shlibdeps; what it loads at run time
# (the ODBC plugin and driver, the X11 platform plugin, the SVG icon plugin, the
# Russian standard texts)
# is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6sql6-odbc, odbc-postgresql, unixodbc, qt6-qpa-plugins, libqt6svg6, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
# The database server's side (tabel-setup-server; its backups use pgbackrest and jq) is
# wanted on one machine only, not on every workstation.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "postgresql, postgresql-client, pgbackrest, jq, libreoffice-calc")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/packaging/conffiles)
include(CPack)
