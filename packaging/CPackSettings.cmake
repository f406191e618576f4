# The Debian package: "cpack -G DEB" in a build folder, or scripts/package, which builds
# a release for it. Its run-time dependencies are the shared libraries' packages that
# dpkg-shlibdeps finds, and what the programs load at run time besides them.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME userpr)
set(CPACK_PACKAGE_VENDOR Userpr)
# USERPR_PACKAGE_MAINTAINER is set in packaging/CMakeLists.txt, before the change log uses it.
set(CPACK_PACKAGE_CONTACT "${USERPR_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "administration of a multi-company banking system's users")
set(CPACK_PACKAGE_DESCRIPTION [=[
Userpr is the administrator's desktop tool of a multi-company banking system.
With it the administrator keeps the register of the system's programs, decides
which database account may run which program in which company, finds and prints
those grants, edits the companies, and creates and drops the users' database
accounts.

The data lives on Oracle servers, reached through Qt's SQL drivers; embedded
servers of SQLite files, made by the console userpr-db, serve demonstrations.]=])
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time rather than linked: the SQLite driver of the embedded servers and the
# fonts of the printed report (Liberation Sans has the widths of the Arial it is laid out
# in); the window system's and the printers' plugins come with Qt's libraries. The
# drivers of real servers are recommended.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-psql, libqt6sql6-odbc")
