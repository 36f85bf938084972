# Two Debian packages from this build: quillet (the programs, the host and
# the reference engine) and quillet-engine-clamav. `cpack` in the build
# folder makes them; scripts/package.sh does it from a fresh build.
set(QUILLET_PACKAGES quillet clamav)

# Each package's copyright and changelog, compressed the way Debian wants:
# no name or time stamp inside, so the same tree gives the same bytes.
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  COMMAND gzip -9nfk ${CMAKE_BINARY_DIR}/packaging/changelog
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog)
add_custom_target(quillet_package_docs ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
foreach(strComponent IN ITEMS quillet clamav)
  set(strPackage quillet)
  if(strComponent STREQUAL clamav)
    set(strPackage quillet-engine-clamav)
  endif()
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${strPackage} COMPONENT ${strComponent})
endforeach()

# Dolphin's service menu is executable on purpose; lintian is told so.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
  RENAME quillet COMPONENT quillet)

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${QUILLET_PACKAGES})
set(CPACK_PACKAGE_NAME quillet)
set(CPACK_PACKAGE_VENDOR Kestrum)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Kestrum Packaging <packages@kestrum.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  message(STATUS "Packages install to /usr; this build's paths name ${CMAKE_INSTALL_PREFIX}")
endif()
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
  GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://www.kestrum.example/")
# Dependencies are what the binaries link, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_DEBIAN_QUILLET_PACKAGE_NAME quillet)
set(CPACK_DEBIAN_QUILLET_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_QUILLET_DESCRIPTION "desktop virus scanner with a backup bin
Quillet scans the drives and folders you tick for viruses, lists every
finding and repairs the files its engine can clean, keeping a backup of
each one first. The Backup Bin puts a backup back where it came from.
.
This package holds the window program, quillet-scan for scripts,
quillet-bin for the backups, quillet-schedule for scans on systemd user
timers, quillet-samples, the engine host and the
bundled reference engine, which knows only test signatures. Folders and
files open with Quillet from the file managers (\"Scan with Quillet\" in
Dolphin and Nemo, an example action for Thunar). Install
quillet-engine-clamav to scan with ClamAV's signatures.")

set(CPACK_DEBIAN_CLAMAV_PACKAGE_NAME quillet-engine-clamav)
set(CPACK_DEBIAN_CLAMAV_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_CLAMAV_DEPENDS quillet)
set(CPACK_DEBIAN_CLAMAV_PACKAGE_RECOMMENDS clamav-freshclam)
set(CPACK_DEBIAN_CLAMAV_PACKAGE_SUGGESTS clamav-daemon)
set(CPACK_COMPONENT_CLAMAV_DESCRIPTION "ClamAV engine for the Quillet virus scanner
Lets Quillet scan with libclamav in its engine host, or through a running
clamd daemon. Choose it with --engine clamav or --engine clamd, or in
Quillet's engine settings file.
.
The signatures come from clamav-freshclam, which keeps /var/lib/clamav
current.")

include(CPack)
